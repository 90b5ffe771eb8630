// The wide decoder on x86-64: SSSE3 for the digits of 16 characters at a time, AVX2 for 32
// where the processor has it. Each function carries its own instruction set, so the rest of
// the tool is built for the baseline processor and this code runs only where it can.
//
// A record of 16 data bytes has 42 digits after its ':', one of 32 has 74. Both are read as
// whole blocks of digits from the start and one last block that ends with the checksum and
// overlaps the blocks before, so that no lane of any block holds anything but digits. The
// bytes read twice are left out of the checksum.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "hex/hex_fast_path.hpp"

namespace kr570::detail {

namespace {

// Digits of the two record shapes after the ':'.
constexpr std::size_t kDigits16 = 42;
constexpr std::size_t kDigits32 = 74;

// The characters the decoders may look at for one record: the 74 digits of a 32-byte record,
// its CR LF and the ':' of the next record.
constexpr std::ptrdiff_t kWindow = 80;

// Two characters as they lie in memory, read as one 16-bit word on this little-endian
// processor, so that a field's two digits are tested in one comparison.
constexpr std::uint16_t charPair(char first, char second) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(first) |
                                      static_cast<unsigned>(static_cast<unsigned char>(second))
                                          << 8);
}
inline std::uint16_t pairAt(const unsigned char* p) {
    std::uint16_t pair;
    std::memcpy(&pair, p, sizeof pair);
    return pair;
}

// The byte count of the records the decoders take, "10" or "20" (the same in either case),
// and their type, data ("00").
constexpr std::uint16_t kCount16 = charPair('1', '0');
constexpr std::uint16_t kCount32 = charPair('2', '0');
constexpr std::uint16_t kTypeData = charPair('0', '0');

// Whether the fields are of a record of the count `count` and of type data.
inline bool hasShape(const unsigned char* fields, std::uint16_t count) {
    return pairAt(fields) == count && pairAt(fields + 6) == kTypeData;
}
inline bool isRegular(const unsigned char* fields) {
    return hasShape(fields, kCount16) || hasShape(fields, kCount32);
}

// The length of the line end right after a record's last digit (1 for LF, 2 for CR LF), or 0
// when something else stands there.
inline std::size_t lineEndLength(const unsigned char* p) {
    if (p[0] == '\n') {
        return 1;
    }
    return (p[0] == '\r' && p[1] == '\n') ? 2 : 0;
}

// A run of records being taken: what the two decoders' loops share. Its functions use no
// wide instructions, so they are inlined into either.
class RunCursor {
  public:
    RunCursor(const unsigned char* fields, const unsigned char* end, DecodedRun& run)
        : first_(fields),
          next_(fields),
          taken_(fields),
          // The last place a record's fields may start: the window of characters that any
          // record may take must lie before `end`. None may start when there is no room.
          last_(end - fields >= kWindow ? end - kWindow : nullptr),
          slot_(run.record.data()),
          slotsEnd_(run.record.data() + run.record.size()) {}

    // The fields of the next record, when the run has room for it and the window of
    // characters that any record may take is available; nullptr otherwise.
    const unsigned char* next() const {
        return last_ != nullptr && next_ <= last_ && slot_ != slotsEnd_ ? next_ : nullptr;
    }
    DecodedRecord& slot() const { return *slot_; }

    // Takes the record just decoded, of `digits` digits and a line end of `lineEnd`
    // characters; false when no ':' follows it, so that the run ends with it.
    bool take(std::size_t digits, std::size_t lineEnd) {
        ++slot_;
        taken_ = next_ + digits + lineEnd;
        next_ = taken_ + 1;
        return *taken_ == ':';
    }

    void finish(DecodedRun& run) const {
        run.records = static_cast<std::size_t>(slot_ - run.record.data());
        run.length = static_cast<std::size_t>(taken_ - first_);
    }

  private:
    const unsigned char* first_;
    const unsigned char* next_;
    const unsigned char* taken_;  // just past the last record taken, its line end included
    const unsigned char* last_;
    DecodedRecord* slot_;
    DecodedRecord* slotsEnd_;
};

// Lookup tables for vpshufb, indexed by a character's low or high four bits; vpshufb looks
// up within each 16-byte half, so each table is held twice for the wide form. A hexadecimal
// digit is a decimal digit (high 3, low 0-9) or a letter of either case (high 4 or 6, low
// 1-6). The high bits give the class a character would be in (bit 1 decimal, bit 2 letter),
// or all bits when it is in neither; the low bits give the classes that do not take them,
// and the top bit always. A character is no digit exactly when its two lookups share a bit.
// Letters add 9 to the value of their low bits.
alignas(32) constexpr std::uint8_t kLowRejects[32] = {
    0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x82, 0x82, 0x82, 0x83, 0x83, 0x83, 0x83, 0x83, 0x83,
    0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x82, 0x82, 0x82, 0x83, 0x83, 0x83, 0x83, 0x83, 0x83};
alignas(32) constexpr std::uint8_t kHighClasses[32] = {
    0xFF, 0xFF, 0xFF, 1, 2, 0xFF, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 1, 2, 0xFF, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
alignas(32) constexpr std::uint8_t kLetterValues[32] = {
    0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The mask of a character's low four bits, and the weights of the two digits of a pair: the
// first counts 16 times, the second once.
alignas(32) constexpr std::uint8_t kNibbles[32] = {
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F,
    0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F};
alignas(32) constexpr std::uint8_t kPairWeights[32] = {16, 1,  16, 1,  16, 1,  16, 1,  16, 1,  16,
                                                       1,  16, 1,  16, 1,  16, 1,  16, 1,  16, 1,
                                                       16, 1,  16, 1,  16, 1,  16, 1,  16, 1};

// --- SSSE3 ---------------------------------------------------------------------------------

struct NarrowTables {
    __m128i lowRejects, highClasses, letterValues, nibble, pairWeights;

    __attribute__((target("ssse3"), always_inline)) inline NarrowTables()
        : lowRejects(_mm_load_si128(reinterpret_cast<const __m128i*>(kLowRejects))),
          highClasses(_mm_load_si128(reinterpret_cast<const __m128i*>(kHighClasses))),
          letterValues(_mm_load_si128(reinterpret_cast<const __m128i*>(kLetterValues))),
          nibble(_mm_load_si128(reinterpret_cast<const __m128i*>(kNibbles))),
          pairWeights(_mm_load_si128(reinterpret_cast<const __m128i*>(kPairWeights))) {}
};

// Turns 16 digits into eight 16-bit lanes, each the byte that a pair of them spells, and
// sets bits of `rejected` in the lanes of characters that are no hexadecimal digit.
__attribute__((target("ssse3"), always_inline)) inline __m128i pairsToBytes(const unsigned char* p,
                                                                            __m128i& rejected,
                                                                            const NarrowTables& t) {
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(chars, 4), t.nibble);
    const __m128i low = _mm_and_si128(chars, t.nibble);
    rejected = _mm_or_si128(rejected, _mm_and_si128(_mm_shuffle_epi8(t.lowRejects, low),
                                                    _mm_shuffle_epi8(t.highClasses, high)));
    const __m128i values = _mm_add_epi8(low, _mm_shuffle_epi8(t.letterValues, high));
    return _mm_maddubs_epi16(values, t.pairWeights);
}

// Whether the 16 bytes of `bytes` add up to a multiple of 256, as a record's bytes with its
// checksum do.
__attribute__((target("ssse3"), always_inline)) inline bool checksumIsRight(__m128i bytes) {
    const __m128i sums = _mm_sad_epu8(bytes, _mm_setzero_si128());
    return (_mm_cvtsi128_si32(_mm_add_epi8(sums, _mm_unpackhi_epi64(sums, sums))) & 0xFF) == 0;
}

// Decodes the fields of a record of `kBlocks` whole blocks of 16 digits (2 for 16 data
// bytes, 4 for 32) into `record`; false when a character is no digit or the checksum is wrong.
// The last block, of the 16 digits that end with the checksum, starts six digits before the
// end of the whole blocks, and its first three bytes are left out of the sum.
template <int kBlocks>
__attribute__((target("ssse3"), always_inline)) inline bool decodeSsse3(const unsigned char* p,
                                                                        DecodedRecord& record,
                                                                        const NarrowTables& t) {
    constexpr std::size_t kLast = 16 * kBlocks - 6;
    __m128i rejected = _mm_setzero_si128();
    __m128i folded = _mm_setzero_si128();  // bytes whose sum is the record's, modulo 256
    for (int i = 0; i < kBlocks; i += 2) {
        const __m128i first = pairsToBytes(p + 16 * i, rejected, t);
        const __m128i bytes = _mm_packus_epi16(first, pairsToBytes(p + 16 * i + 16, rejected, t));
        folded = _mm_add_epi8(folded, bytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(record.fields.data() + 8 * i), bytes);
    }
    const __m128i last = pairsToBytes(p + kLast, rejected, t);
    const __m128i lastBytes = _mm_packus_epi16(last, last);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(record.fields.data() + kLast / 2), lastBytes);
    const __m128i ownBytes = _mm_set_epi64x(0, static_cast<long long>(0xFFFFFFFFFF000000ULL));
    folded = _mm_add_epi8(folded, _mm_and_si128(lastBytes, ownBytes));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(rejected, _mm_setzero_si128())) == 0xFFFF &&
           checksumIsRight(folded);
}

// Takes records of `kBlocks` whole blocks for as long as they follow one another; true when
// the run goes on with a record of the other regular shape. A loop of its own for each shape
// lets the compiler keep the tables in registers.
template <int kBlocks>
__attribute__((target("ssse3"), always_inline)) inline bool takeSsse3Records(
    RunCursor& cursor, const NarrowTables& t) {
    constexpr std::size_t kDigits = kBlocks == 2 ? kDigits16 : kDigits32;
    constexpr std::uint16_t kCount = kBlocks == 2 ? kCount16 : kCount32;
    const unsigned char* fields = cursor.next();
    for (; fields != nullptr && hasShape(fields, kCount); fields = cursor.next()) {
        const std::size_t lineEnd = lineEndLength(fields + kDigits);
        if (lineEnd == 0 || !decodeSsse3<kBlocks>(fields, cursor.slot(), t) ||
            !cursor.take(kDigits, lineEnd)) {
            return false;
        }
    }
    return fields != nullptr && isRegular(fields);
}

__attribute__((target("ssse3"))) void decodeWithSsse3(const unsigned char* p,
                                                      const unsigned char* end, DecodedRun& run) {
    const NarrowTables tables;
    RunCursor cursor(p, end, run);
    bool more = true;
    while (more) {
        more = takeSsse3Records<2>(cursor, tables) && takeSsse3Records<4>(cursor, tables);
    }
    cursor.finish(run);
}

// --- AVX2 ----------------------------------------------------------------------------------

// The constants, loaded once per run of records. The empty asm makes the tables opaque
// register values: otherwise g++ loads them again for every record.
struct WideTables {
    __m256i lowRejects, highClasses, letterValues, nibble, pairWeights;

    __attribute__((target("avx2"), always_inline)) inline WideTables()
        : lowRejects(_mm256_load_si256(reinterpret_cast<const __m256i*>(kLowRejects))),
          highClasses(_mm256_load_si256(reinterpret_cast<const __m256i*>(kHighClasses))),
          letterValues(_mm256_load_si256(reinterpret_cast<const __m256i*>(kLetterValues))),
          nibble(_mm256_load_si256(reinterpret_cast<const __m256i*>(kNibbles))),
          pairWeights(_mm256_load_si256(reinterpret_cast<const __m256i*>(kPairWeights))) {
        asm("" : "+x"(lowRejects), "+x"(highClasses), "+x"(letterValues));
    }
};

// pairsToBytes for 32 digits: sixteen 16-bit lanes, 8 from each half.
__attribute__((target("avx2"), always_inline)) inline __m256i pairsToBytes256(
    const unsigned char* p, __m256i& rejected, const WideTables& t) {
    const __m256i chars = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(chars, 4), t.nibble);
    const __m256i low = _mm256_and_si256(chars, t.nibble);
    rejected =
        _mm256_or_si256(rejected, _mm256_and_si256(_mm256_shuffle_epi8(t.lowRejects, low),
                                                   _mm256_shuffle_epi8(t.highClasses, high)));
    const __m256i values = _mm256_add_epi8(low, _mm256_shuffle_epi8(t.letterValues, high));
    return _mm256_maddubs_epi16(values, t.pairWeights);
}

// The bytes of two blocks of 16-bit lanes in text order. The pack works within each 128-bit
// half; the permutation puts the quarters in order.
__attribute__((target("avx2"), always_inline)) inline __m256i packInOrder(__m256i first,
                                                                          __m256i second) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
}

// decodeSsse3 in blocks of 32 digits. The last block, of the 32 digits that end with the
// checksum, overlaps the whole blocks by 22 digits; its last five bytes are its own.
template <int kBlocks>
__attribute__((target("avx2"), always_inline)) inline bool decodeAvx2(const unsigned char* p,
                                                                      DecodedRecord& record,
                                                                      const WideTables& t) {
    constexpr std::size_t kLast = 16 * kBlocks - 22;
    __m256i rejected = _mm256_setzero_si256();
    const __m128i ownBytes = _mm_set_epi64x(static_cast<long long>(0xFFFFFFFFFF000000ULL), 0);
    __m128i folded;  // bytes whose sum is the record's, modulo 256
    if constexpr (kBlocks == 2) {
        const __m256i first = pairsToBytes256(p, rejected, t);
        const __m256i bytes = packInOrder(first, pairsToBytes256(p + kLast, rejected, t));
        const __m128i lastBytes = _mm256_extracti128_si256(bytes, 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(record.fields.data()), bytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(record.fields.data() + kLast / 2), lastBytes);
        folded = _mm_add_epi8(_mm256_castsi256_si128(bytes), _mm_and_si128(lastBytes, ownBytes));
    } else {
        const __m256i first = pairsToBytes256(p, rejected, t);
        const __m256i bytes = packInOrder(first, pairsToBytes256(p + 32, rejected, t));
        const __m256i last = pairsToBytes256(p + kLast, rejected, t);
        const __m128i lastBytes = _mm256_castsi256_si128(packInOrder(last, last));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(record.fields.data()), bytes);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(record.fields.data() + kLast / 2), lastBytes);
        folded = _mm_add_epi8(
            _mm_add_epi8(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1)),
            _mm_and_si128(lastBytes, ownBytes));
    }
    return _mm256_testz_si256(rejected, rejected) != 0 && checksumIsRight(folded);
}

// takeSsse3Records with the AVX2 decoder.
template <int kBlocks>
__attribute__((target("avx2"), always_inline)) inline bool takeAvx2Records(RunCursor& cursor,
                                                                           const WideTables& t) {
    constexpr std::size_t kDigits = kBlocks == 2 ? kDigits16 : kDigits32;
    constexpr std::uint16_t kCount = kBlocks == 2 ? kCount16 : kCount32;
    const unsigned char* fields = cursor.next();
    for (; fields != nullptr && hasShape(fields, kCount); fields = cursor.next()) {
        const std::size_t lineEnd = lineEndLength(fields + kDigits);
        if (lineEnd == 0 || !decodeAvx2<kBlocks>(fields, cursor.slot(), t) ||
            !cursor.take(kDigits, lineEnd)) {
            return false;
        }
    }
    return fields != nullptr && isRegular(fields);
}

__attribute__((target("avx2"))) void decodeWithAvx2(const unsigned char* p,
                                                    const unsigned char* end, DecodedRun& run) {
    const WideTables tables;
    RunCursor cursor(p, end, run);
    bool more = true;
    while (more) {
        more = takeAvx2Records<2>(cursor, tables) && takeAvx2Records<4>(cursor, tables);
    }
    cursor.finish(run);
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
