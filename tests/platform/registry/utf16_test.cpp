// The UTF-16 helpers the HAL decodes registry strings with, and the wide-to-UTF-8 conversion of the
// control API that shares the simulator's codec.
#include <ce/utf16.h>
#include <gtest/gtest.h>
#include <pndsim/control.h>

#include <string>
#include <vector>

namespace {

TEST(Utf16Bytes, DecodeStopsAtTheTerminatorAndCutsToTheBuffer) {
  const BYTE bytes[] = {'a', 0, 'b', 0, 0, 0, 'c', 0};
  wchar_t out[8];
  EXPECT_EQ(ce::Utf16BytesToWide(bytes, sizeof bytes, out, 8), 2u);
  EXPECT_EQ(std::wstring(out), L"ab");
  EXPECT_EQ(ce::Utf16BytesToWide(bytes, sizeof bytes, out, 2), 1u) << "one character and the terminator";
  EXPECT_EQ(std::wstring(out), L"a");
  EXPECT_EQ(ce::Utf16BytesToWide(bytes, 3, out, 8), 1u) << "an odd last byte is ignored";
  EXPECT_EQ(ce::Utf16BytesToWide(bytes, sizeof bytes, out, 0), 0u);
  EXPECT_EQ(ce::Utf16BytesToWide(nullptr, 4, out, 8), 0u);
  EXPECT_EQ(out[0], L'\0');
}

TEST(Utf16Bytes, SurrogatePairsBecomeOneCharacterAndLoneSurrogatesTheReplacement) {
  const BYTE pair[] = {0x3D, 0xD8, 0x00, 0xDE, 0x3D, 0xD8, 'x', 0};
  wchar_t out[8];
  const std::size_t written = ce::Utf16BytesToWide(pair, sizeof pair, out, 8);
  if constexpr (sizeof(wchar_t) >= 4) {
    ASSERT_EQ(written, 3u);
    EXPECT_EQ(static_cast<std::uint32_t>(out[0]), 0x1F600u);
    EXPECT_EQ(static_cast<std::uint32_t>(out[1]), 0xFFFDu);
    EXPECT_EQ(out[2], L'x');
  } else {
    EXPECT_EQ(written, 4u);
  }
}

TEST(Utf16Bytes, EncodeWritesLittleEndianUnitsAndRefusesSmallBuffers) {
  const wchar_t* text = L"A\u00E9";
  EXPECT_EQ(ce::Utf16ByteCount(text), 6u);
  std::vector<BYTE> out(6, 0xEE);
  EXPECT_EQ(ce::WideToUtf16Bytes(text, out.data(), 5), 0u);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(ce::WideToUtf16Bytes(text, out.data(), out.size()), 6u);
  EXPECT_EQ(out, (std::vector<BYTE>{'A', 0, 0xE9, 0, 0, 0}));
  EXPECT_EQ(ce::Utf16ByteCount(nullptr), 2u);
}

TEST(ToUtf8, EncodesEachLengthAndReplacesWhatIsNoCharacter) {
  const struct {
    std::wstring text;
    std::string utf8;
  } kCases[] = {
      {L"A", "A"},
      {std::wstring(1, wchar_t{0xE9}), "\xC3\xA9"},
      {std::wstring(1, wchar_t{0x20AC}), "\xE2\x82\xAC"},
      {std::wstring(1, static_cast<wchar_t>(0x1F600)), "\xF0\x9F\x98\x80"},
      {std::wstring(1, wchar_t{0xD800}), "\xEF\xBF\xBD"},
      {std::wstring(1, static_cast<wchar_t>(0x110000)), "\xEF\xBF\xBD"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(pndsim::ToUtf8(c.text.c_str()), c.utf8) << static_cast<std::uint32_t>(c.text[0]);
  }
  EXPECT_EQ(pndsim::ToUtf8(nullptr), "");
}

}  // namespace
