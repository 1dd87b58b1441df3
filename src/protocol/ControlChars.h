#pragma once

#include <string_view>

namespace znr::ctl {

// The protocol's control characters, one byte each.
inline constexpr char NUL = '\x00';
inline constexpr char SOH = '\x01'; // start of a frame
inline constexpr char STX = '\x02'; // start of the payload
inline constexpr char ETX = '\x03'; // end of the payload
inline constexpr char EOT = '\x04'; // end of a frame
inline constexpr char ENQ = '\x05';
inline constexpr char ACK = '\x06';
inline constexpr char NAK = '\x15';
inline constexpr char ETB = '\x17';

// The two-byte replies: no terminator, no checksum.
inline constexpr std::string_view ACK8{"\x06\x38", 2}; // ACK, then the digit 8
inline constexpr std::string_view NAK8{"\x15\x38", 2}; // NAK, then the digit 8

} // namespace znr::ctl
