#pragma once
// JPEG decoding through libjpeg into 24-bit B,G,R rows. Library errors
// never end the process: they come back as EInvalidGraphic. Pure function
// on bytes; any thread.

#include <cstdint>
#include <span>

#include "platform/ui/BmpFormat.h"

namespace platform::ui {

// Decodes a JPEG file. grayscale asks the decoder for grey output, which is
// widened to three equal channels. Raises EInvalidGraphic for data the
// library refuses and for pictures larger than kMaxGraphicSide or
// kMaxGraphicPixels; a picture whose data ends early decodes with the rest
// filled as the library fills it.
TDibImage DecodeJpeg(std::span<const uint8_t> data, bool grayscale);

}  // namespace platform::ui
