// The code tables of ITU-T T.4 and T.6 shared by the fax encoder and decoders.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pagelith {

struct TCCITTCode {
    uint32_t Value = 0; // the code bits read as a binary number
    uint8_t Length = 0; // in bits
};

namespace ccitt_detail {
// Codes are written as their bit strings so the tables can be read against T.4 line by line.
consteval TCCITTCode Bits(std::string_view bits) {
    TCCITTCode code;
    for (const char c : bits) code.Value = code.Value * 2 + (c == '1');
    code.Length = static_cast<uint8_t>(bits.size());
    return code;
}
} // namespace ccitt_detail

// Terminating codes, indexed by run length 0-63.
inline constexpr std::array<TCCITTCode, 64> kWhiteTerminating = [] {
    using ccitt_detail::Bits;
    return std::array<TCCITTCode, 64>{
        Bits("00110101"), Bits("000111"),   Bits("0111"),     Bits("1000"),     Bits("1011"),
        Bits("1100"),     Bits("1110"),     Bits("1111"),     Bits("10011"),    Bits("10100"),
        Bits("00111"),    Bits("01000"),    Bits("001000"),   Bits("000011"),   Bits("110100"),
        Bits("110101"),   Bits("101010"),   Bits("101011"),   Bits("0100111"),  Bits("0001100"),
        Bits("0001000"),  Bits("0010111"),  Bits("0000011"),  Bits("0000100"),  Bits("0101000"),
        Bits("0101011"),  Bits("0010011"),  Bits("0100100"),  Bits("0011000"),  Bits("00000010"),
        Bits("00000011"), Bits("00011010"), Bits("00011011"), Bits("00010010"), Bits("00010011"),
        Bits("00010100"), Bits("00010101"), Bits("00010110"), Bits("00010111"), Bits("00101000"),
        Bits("00101001"), Bits("00101010"), Bits("00101011"), Bits("00101100"), Bits("00101101"),
        Bits("00000100"), Bits("00000101"), Bits("00001010"), Bits("00001011"), Bits("01010010"),
        Bits("01010011"), Bits("01010100"), Bits("01010101"), Bits("00100100"), Bits("00100101"),
        Bits("01011000"), Bits("01011001"), Bits("01011010"), Bits("01011011"), Bits("01001010"),
        Bits("01001011"), Bits("00110010"), Bits("00110011"), Bits("00110100"),
    };
}();

inline constexpr std::array<TCCITTCode, 64> kBlackTerminating = [] {
    using ccitt_detail::Bits;
    return std::array<TCCITTCode, 64>{
        Bits("0000110111"),   Bits("010"),          Bits("11"),           Bits("10"),
        Bits("011"),          Bits("0011"),         Bits("0010"),         Bits("00011"),
        Bits("000101"),       Bits("000100"),       Bits("0000100"),      Bits("0000101"),
        Bits("0000111"),      Bits("00000100"),     Bits("00000111"),     Bits("000011000"),
        Bits("0000010111"),   Bits("0000011000"),   Bits("0000001000"),   Bits("00001100111"),
        Bits("00001101000"),  Bits("00001101100"),  Bits("00000110111"),  Bits("00000101000"),
        Bits("00000010111"),  Bits("00000011000"),  Bits("000011001010"), Bits("000011001011"),
        Bits("000011001100"), Bits("000011001101"), Bits("000001101000"), Bits("000001101001"),
        Bits("000001101010"), Bits("000001101011"), Bits("000011010010"), Bits("000011010011"),
        Bits("000011010100"), Bits("000011010101"), Bits("000011010110"), Bits("000011010111"),
        Bits("000001101100"), Bits("000001101101"), Bits("000011011010"), Bits("000011011011"),
        Bits("000001010100"), Bits("000001010101"), Bits("000001010110"), Bits("000001010111"),
        Bits("000001100100"), Bits("000001100101"), Bits("000001010010"), Bits("000001010011"),
        Bits("000000100100"), Bits("000000110111"), Bits("000000111000"), Bits("000000100111"),
        Bits("000000101000"), Bits("000001011000"), Bits("000001011001"), Bits("000000101011"),
        Bits("000000101100"), Bits("000001011010"), Bits("000001100110"), Bits("000001100111"),
    };
}();

// Make-up codes, indexed by run / 64 (1-40); entries 28-40 (1792-2560) are the extended codes
// both colours share. Entry 0 is unused.
inline constexpr int kMaxMakeUpIndex = 40;
inline constexpr int kFirstExtendedMakeUp = 28;

inline constexpr std::array<TCCITTCode, 13> kExtendedMakeUp = [] {
    using ccitt_detail::Bits;
    return std::array<TCCITTCode, 13>{
        Bits("00000001000"),  Bits("00000001100"),  Bits("00000001101"),  Bits("000000010010"),
        Bits("000000010011"), Bits("000000010100"), Bits("000000010101"), Bits("000000010110"),
        Bits("000000010111"), Bits("000000011100"), Bits("000000011101"), Bits("000000011110"),
        Bits("000000011111"),
    };
}();

namespace ccitt_detail {
template <std::size_t N>
constexpr std::array<TCCITTCode, kMaxMakeUpIndex + 1> WithExtended(const std::array<TCCITTCode, N>& own) {
    static_assert(N == kFirstExtendedMakeUp - 1);
    std::array<TCCITTCode, kMaxMakeUpIndex + 1> all{};
    for (std::size_t i = 0; i < N; ++i) all[i + 1] = own[i];
    for (std::size_t i = 0; i < kExtendedMakeUp.size(); ++i)
        all[kFirstExtendedMakeUp + i] = kExtendedMakeUp[i];
    return all;
}
} // namespace ccitt_detail

inline constexpr std::array<TCCITTCode, kMaxMakeUpIndex + 1> kWhiteMakeUp = [] {
    using ccitt_detail::Bits;
    return ccitt_detail::WithExtended(std::array<TCCITTCode, 27>{
        Bits("11011"),     Bits("10010"),     Bits("010111"),    Bits("0110111"),   Bits("00110110"),
        Bits("00110111"),  Bits("01100100"),  Bits("01100101"),  Bits("01101000"),  Bits("01100111"),
        Bits("011001100"), Bits("011001101"), Bits("011010010"), Bits("011010011"), Bits("011010100"),
        Bits("011010101"), Bits("011010110"), Bits("011010111"), Bits("011011000"), Bits("011011001"),
        Bits("011011010"), Bits("011011011"), Bits("010011000"), Bits("010011001"), Bits("010011010"),
        Bits("011000"),    Bits("010011011"),
    });
}();

inline constexpr std::array<TCCITTCode, kMaxMakeUpIndex + 1> kBlackMakeUp = [] {
    using ccitt_detail::Bits;
    return ccitt_detail::WithExtended(std::array<TCCITTCode, 27>{
        Bits("0000001111"),    Bits("000011001000"),  Bits("000011001001"),  Bits("000001011011"),
        Bits("000000110011"),  Bits("000000110100"),  Bits("000000110101"),  Bits("0000001101100"),
        Bits("0000001101101"), Bits("0000001001010"), Bits("0000001001011"), Bits("0000001001100"),
        Bits("0000001001101"), Bits("0000001110010"), Bits("0000001110011"), Bits("0000001110100"),
        Bits("0000001110101"), Bits("0000001110110"), Bits("0000001110111"), Bits("0000001010010"),
        Bits("0000001010011"), Bits("0000001010100"), Bits("0000001010101"), Bits("0000001011010"),
        Bits("0000001011011"), Bits("0000001100100"), Bits("0000001100101"),
    });
}();

// Two-dimensional mode codes of T.6 (and T.4), and the end-of-line code.
inline constexpr TCCITTCode kPassCode = ccitt_detail::Bits("0001");
inline constexpr TCCITTCode kHorizontalCode = ccitt_detail::Bits("001");
// Vertical codes indexed by a1 - b1 + 3 (-3 ... +3).
inline constexpr std::array<TCCITTCode, 7> kVerticalCodes = {
    ccitt_detail::Bits("0000010"), ccitt_detail::Bits("000010"), ccitt_detail::Bits("010"),
    ccitt_detail::Bits("1"),       ccitt_detail::Bits("011"),    ccitt_detail::Bits("000011"),
    ccitt_detail::Bits("0000011"),
};
inline constexpr TCCITTCode kEndOfLine = ccitt_detail::Bits("000000000001");
// End of facsimile block: two EOLs.
inline constexpr TCCITTCode kEndOfBlock = {0x001001, 24};

} // namespace pagelith
