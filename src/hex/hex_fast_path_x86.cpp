// The wide decoder on x86-64: SSSE3 for the digits of 16 characters at a time, AVX2 for 32
// where the processor has it. Each function carries its own instruction set, so the rest of
// the tool is built for the baseline processor and this code runs only where it can.
#include <immintrin.h>

#include <cstddef>
#include <cstring>

#include "hex/hex_fast_path.hpp"

namespace kr570::detail {

namespace {

// The line end right after the record's last digit: its length (1 for LF, 2 for CR LF), or 0
// when something else stands there.
inline std::size_t lineEndLength(const unsigned char* p) {
    if (p[0] == '\n') {
        return 1;
    }
    return (p[0] == '\r' && p[1] == '\n') ? 2 : 0;
}

// Total characters of a record with `fullBlocks` blocks of 16 digits before its last 10:
// 16-byte records have 42 digits (2 full blocks), 32-byte records 74 (4 full blocks).
constexpr std::size_t digitsOf(int fullBlocks) {
    return 16 * static_cast<std::size_t>(fullBlocks) + 10;
}

// Checks a record whose fields have been stored: a checksum that makes the byte sum 0, a data
// type, the count that the number of digits implies and a line end. Returns the characters
// the record takes after its ':', or 0 when the scalar scanner must read it.
inline std::size_t finish(const unsigned char* fields, unsigned byteSum, int fullBlocks,
                          const DecodedRecord& record) {
    const std::size_t digits = digitsOf(fullBlocks);
    const std::size_t lineEnd = lineEndLength(fields + digits);
    if ((byteSum & 0xFFU) != 0 || lineEnd == 0 || record.fields[3] != 0 ||
        record.count() != 8U * static_cast<unsigned>(fullBlocks)) {
        return 0;
    }
    return digits + lineEnd;
}

// --- SSSE3 ---------------------------------------------------------------------------------

// Turns 16 characters into eight 16-bit lanes, each the byte that a pair of hexadecimal
// digits spells; `valid` gets 0xff in the lanes of the characters that are such digits.
__attribute__((target("ssse3"), always_inline)) inline __m128i pairsToBytes(__m128i chars,
                                                                            __m128i& valid) {
    const __m128i decimal = _mm_sub_epi8(chars, _mm_set1_epi8('0'));
    const __m128i isDecimal = _mm_cmpeq_epi8(_mm_min_epu8(decimal, _mm_set1_epi8(9)), decimal);
    // Setting bit 5 maps A-F, and only them, onto a-f.
    const __m128i letter =
        _mm_sub_epi8(_mm_or_si128(chars, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
    const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
    valid = _mm_or_si128(isDecimal, isLetter);
    // A digit's value is its low four bits, plus 9 for a letter.
    const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm_set1_epi8(0x0F)),
                                        _mm_and_si128(isLetter, _mm_set1_epi8(9)));
    // The first digit of each pair counts 16 times, the second once.
    return _mm_maddubs_epi16(values, _mm_set1_epi16(0x0110));
}

// The last block holds 10 digits (five bytes, the checksum last) and then the line end.
__attribute__((target("ssse3"), always_inline)) inline __m128i lastPairs(const unsigned char* p,
                                                                         __m128i& valid) {
    const __m128i words = pairsToBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), valid);
    valid = _mm_or_si128(valid, _mm_set_epi8(-1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    return _mm_and_si128(words, _mm_set_epi16(0, 0, 0, -1, -1, -1, -1, -1));
}

template <int kFullBlocks>
__attribute__((target("ssse3"), always_inline)) inline std::size_t decodeSsse3(
    const unsigned char* p, DecodedRecord& record) {
    __m128i words[static_cast<std::size_t>(kFullBlocks) + 2];
    __m128i allValid = _mm_set1_epi8(-1);
    for (int i = 0; i < kFullBlocks; ++i) {
        __m128i valid;
        words[i] =
            pairsToBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), valid);
        allValid = _mm_and_si128(allValid, valid);
    }
    __m128i valid;
    words[kFullBlocks] = lastPairs(p + 16 * kFullBlocks, valid);
    words[kFullBlocks + 1] = _mm_setzero_si128();
    allValid = _mm_and_si128(allValid, valid);
    if (_mm_movemask_epi8(allValid) != 0xFFFF) {
        return 0;
    }
    __m128i sums = _mm_setzero_si128();
    for (int i = 0; i <= kFullBlocks; i += 2) {
        const __m128i bytes = _mm_packus_epi16(words[i], words[i + 1]);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(bytes, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(record.fields.data() + 8 * i), bytes);
    }
    const auto byteSum = static_cast<unsigned>(_mm_cvtsi128_si32(sums)) +
                         static_cast<unsigned>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
    return finish(p, byteSum, kFullBlocks, record);
}

// The characters the decoders load for a record of either count: five blocks of 16 hold the
// 74 digits of a 32-byte record and its line end.
constexpr std::ptrdiff_t kWindow32 = 16 * 5;

__attribute__((target("ssse3"))) void decodeWithSsse3(const unsigned char* p,
                                                      const unsigned char* end, DecodedRun& run) {
    std::size_t n = 0;
    const unsigned char* next = p;
    while (n < DecodedRun::kCapacity && end - next >= kWindow32 && next[1] == '0') {
        std::size_t length = 0;
        if (next[0] == '1') {
            length = decodeSsse3<2>(next, run.record[n]);
        } else if (next[0] == '2') {
            length = decodeSsse3<4>(next, run.record[n]);
        }
        if (length == 0) {
            break;
        }
        run.record[n++].length = length;
        next += length;
        if (*next != ':') {
            break;
        }
        ++next;
    }
    run.records = n;
}

// --- AVX2 ----------------------------------------------------------------------------------

// The constants of pairsToBytes256, made once per run of records. The empty asm makes each an
// opaque register value: otherwise g++ would build every one again inside the loop, three
// instructions each, which costs more than the decoding itself.
struct WideConstants {
    __m256i zeroDigit, nine, caseBit, letterA, five, lowNibble, pairWeights;

    __attribute__((target("avx2"), always_inline)) inline WideConstants()
        : zeroDigit(_mm256_set1_epi8('0')),
          nine(_mm256_set1_epi8(9)),
          caseBit(_mm256_set1_epi8(0x20)),
          letterA(_mm256_set1_epi8('a')),
          five(_mm256_set1_epi8(5)),
          lowNibble(_mm256_set1_epi8(0x0F)),
          pairWeights(_mm256_set1_epi16(0x0110)) {
        asm(""
            : "+x"(zeroDigit), "+x"(nine), "+x"(caseBit), "+x"(letterA), "+x"(five),
              "+x"(lowNibble), "+x"(pairWeights));
    }
};

// pairsToBytes for 32 characters: sixteen 16-bit lanes, 8 from each half.
__attribute__((target("avx2"), always_inline)) inline __m256i pairsToBytes256(
    __m256i chars, __m256i& valid, const WideConstants& k) {
    const __m256i decimal = _mm256_sub_epi8(chars, k.zeroDigit);
    const __m256i isDecimal = _mm256_cmpeq_epi8(_mm256_min_epu8(decimal, k.nine), decimal);
    const __m256i letter = _mm256_sub_epi8(_mm256_or_si256(chars, k.caseBit), k.letterA);
    const __m256i isLetter = _mm256_cmpeq_epi8(_mm256_min_epu8(letter, k.five), letter);
    valid = _mm256_or_si256(isDecimal, isLetter);
    const __m256i values =
        _mm256_add_epi8(_mm256_and_si256(chars, k.lowNibble), _mm256_and_si256(isLetter, k.nine));
    return _mm256_maddubs_epi16(values, k.pairWeights);
}

// The same for the last 16 characters of a record: 10 digits (five bytes, the checksum last)
// and the line end, whose lanes count as valid and are dropped.
__attribute__((target("avx2"), always_inline)) inline __m128i lastPairs128(const unsigned char* p,
                                                                           __m128i& valid,
                                                                           const WideConstants& k) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i decimal = _mm_sub_epi8(chars, _mm256_castsi256_si128(k.zeroDigit));
    const __m128i isDecimal =
        _mm_cmpeq_epi8(_mm_min_epu8(decimal, _mm256_castsi256_si128(k.nine)), decimal);
    const __m128i letter = _mm_sub_epi8(_mm_or_si128(chars, _mm256_castsi256_si128(k.caseBit)),
                                        _mm256_castsi256_si128(k.letterA));
    const __m128i isLetter =
        _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm256_castsi256_si128(k.five)), letter);
    // Lanes 10 to 15 (the line end and beyond) are not digits of the record.
    const __m128i beyond = _mm_set_epi8(-1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    valid = _mm_or_si128(_mm_or_si128(isDecimal, isLetter), beyond);
    const __m128i values = _mm_add_epi8(_mm_and_si128(chars, _mm256_castsi256_si128(k.lowNibble)),
                                        _mm_and_si128(isLetter, _mm256_castsi256_si128(k.nine)));
    const __m128i words = _mm_maddubs_epi16(values, _mm256_castsi256_si128(k.pairWeights));
    return _mm_andnot_si128(beyond, words);
}

// Packs the 16-bit lanes of two 32-character blocks into 32 bytes in text order.
__attribute__((target("avx2"), always_inline)) inline __m256i packInOrder(__m256i first,
                                                                          __m256i second) {
    // The pack works within each 128-bit half; the permutation puts the quarters in order.
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
}

template <int kFullBlocks>
__attribute__((target("avx2"), always_inline)) inline std::size_t decodeAvx2(
    const unsigned char* p, DecodedRecord& record, const WideConstants& k) {
    static_assert(kFullBlocks % 2 == 0, "full blocks come in pairs of 16 characters");
    constexpr int kWide = kFullBlocks / 2;
    __m256i words[static_cast<std::size_t>(kWide) + 1];
    __m256i allValid = _mm256_set1_epi8(-1);
    for (int i = 0; i < kWide; ++i) {
        __m256i valid;
        words[i] = pairsToBytes256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i)),
                                   valid, k);
        allValid = _mm256_and_si256(allValid, valid);
    }
    __m128i lastValid;
    const __m128i last = lastPairs128(p + 16 * kFullBlocks, lastValid, k);
    words[kWide] = _mm256_zextsi128_si256(last);
    if (_mm256_movemask_epi8(allValid) != -1 || _mm_movemask_epi8(lastValid) != 0xFFFF) {
        return 0;
    }
    __m256i sums = _mm256_setzero_si256();
    for (int i = 0; i <= kWide; i += 2) {
        const __m256i bytes =
            packInOrder(words[i], i + 1 <= kWide ? words[i + 1] : _mm256_setzero_si256());
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(record.fields.data() + 16 * i), bytes);
    }
    const __m128i halves =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    const auto byteSum =
        static_cast<unsigned>(_mm_cvtsi128_si32(halves)) +
        static_cast<unsigned>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(halves, halves)));
    return finish(p, byteSum, kFullBlocks, record);
}

__attribute__((target("avx2"))) void decodeWithAvx2(const unsigned char* p,
                                                    const unsigned char* end, DecodedRun& run) {
    const WideConstants k;
    std::size_t n = 0;
    const unsigned char* next = p;
    while (n < DecodedRun::kCapacity && end - next >= kWindow32 && next[1] == '0') {
        std::size_t length = 0;
        if (next[0] == '1') {
            length = decodeAvx2<2>(next, run.record[n], k);
        } else if (next[0] == '2') {
            length = decodeAvx2<4>(next, run.record[n], k);
        }
        if (length == 0) {
            break;
        }
        run.record[n++].length = length;
        next += length;
        if (*next != ':') {
            break;
        }
        ++next;
    }
    run.records = n;
}

}  // namespace

RecordDecoder processorRecordDecoder(const char* wanted) {
    const bool narrowOnly = std::strcmp(wanted, "ssse3") == 0;
    if (!narrowOnly && __builtin_cpu_supports("avx2")) {
        return decodeWithAvx2;
    }
    return __builtin_cpu_supports("ssse3") ? decodeWithSsse3 : nullptr;
}

}  // namespace kr570::detail
