// Little- and big-endian stores into byte strings, for building Jet pages.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace engine::detail::jet4 {

inline void Put8(std::string& b, size_t at, uint32_t v) {
    b[at] = static_cast<char>(v & 0xFF);
}
inline void Put16(std::string& b, size_t at, uint32_t v) {
    Put8(b, at, v);
    Put8(b, at + 1, v >> 8);
}
inline void Put24(std::string& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put8(b, at + 2, v >> 16);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}
inline void Append8(std::string& b, uint32_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
}
inline void Append16(std::string& b, uint32_t v) {
    Append8(b, v);
    Append8(b, v >> 8);
}
inline void Append24(std::string& b, uint32_t v) {
    Append16(b, v);
    Append8(b, v >> 16);
}
inline void Append32(std::string& b, uint32_t v) {
    Append16(b, v);
    Append16(b, v >> 16);
}
inline void Append64(std::string& b, uint64_t v) {
    Append32(b, static_cast<uint32_t>(v));
    Append32(b, static_cast<uint32_t>(v >> 32));
}
inline void AppendBe32(std::string& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) Append8(b, v >> s);
}
inline uint32_t Get8(const std::string& b, size_t at) {
    return static_cast<unsigned char>(b[at]);
}
inline uint32_t Get16(const std::string& b, size_t at) {
    return Get8(b, at) | Get8(b, at + 1) << 8;
}
inline uint32_t Get32(const std::string& b, size_t at) {
    return Get16(b, at) | Get16(b, at + 2) << 16;
}

inline uint64_t DoubleBits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}
inline uint32_t FloatBits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

} // namespace engine::detail::jet4
