#include "exchange/ComonDef.h"

namespace exchange {

std::int32_t ServerIndex = -1;

}  // namespace exchange
