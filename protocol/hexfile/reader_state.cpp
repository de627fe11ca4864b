#include "hex_reader.h"

namespace {

std::int32_t g_extendedAddress = 0;
std::int32_t g_extendedType = 0;
std::int32_t g_segmentBase = 0;

}  // namespace

std::int32_t HL_GetExtendedAddress() {
    return g_extendedAddress;
}
void HL_SetExtendedAddress(std::int32_t address) {
    g_extendedAddress = address;
}
std::int32_t HL_GetExtendedType() {
    return g_extendedType;
}
void HL_SetExtendedType(std::int32_t type) {
    g_extendedType = type;
}
std::int32_t HL_GetSegmentBase() {
    return g_segmentBase;
}
void HL_SetSegmentBase(std::int32_t base) {
    g_segmentBase = base;
}
