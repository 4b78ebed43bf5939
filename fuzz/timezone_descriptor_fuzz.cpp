// Fuzz target: the time-zone descriptor parser, the offset at a few date-times, copies and descriptions.
// Besides memory safety it checks that a valid descriptor has as many shifts as rules and that every
// offset is the base offset in minutes plus nothing or one of the zone's shifts.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "fuzz/fuzz_text.h"
#include "pndhal/navtimezone.h"
#include "time/value_access.h"
#include "time/zone_offset.h"

namespace {

// The descriptor text of the input: a few low bytes stand for the descriptor's fixed pieces, so that the
// fuzzer reaches the rule and shift lists without first guessing the head byte by byte.
std::wstring Descriptor(const std::uint8_t* data, std::size_t size) {
  static const wchar_t* const kPieces[] = {L"TZ|", L"|DY|1;", L"(y2009", L"M3d29h2) {",
                                           L"};",  L"60;",    L"[(y"};
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] >= 1 && data[i] <= std::size(kPieces)) {
      text += kPieces[data[i] - 1];
    } else {
      text += fuzztext::Widen(data + i, 1);
    }
  }
  return text;
}

bool IsPossibleOffset(const CNavTimeZone& zone, std::uint32_t offset) {
  const std::uint32_t base =
      static_cast<std::uint32_t>(pndhal::timevalues::BaseOffsetMinutes(NavValueAccess::BaseOffset(zone))) *
      60u;
  if (offset == base) {
    return true;
  }
  for (std::int32_t shift : NavValueAccess::Shifts(zone)) {
    if (offset == base + static_cast<std::uint32_t>(shift) * 60u) {
      return true;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t when = fuzztext::Take(data, size, 4);
  const std::uint32_t room = fuzztext::Take(data, size, 2) % 600;
  const std::wstring text = Descriptor(data, size);

  CNavTimeZone zone;
  const bool valid = NavValueAccess::InitTimeZone(zone, text.c_str());
  fuzztext::Require(!valid || NavValueAccess::Rules(zone).size() == NavValueAccess::Shifts(zone).size());

  const CNavTimeZone fromText(text.c_str());
  fuzztext::Require(NavValueAccess::Rules(fromText).size() == NavValueAccess::Rules(zone).size());

  const CNavTime times[] = {CNavTime(static_cast<long>(when)), CNavTime(1246406400L), CNavTime(0L),
                            CNavTime(-1L)};
  const CNavTimeZone copy(zone);
  for (const CNavTime& time : times) {
    CNavTimeSpan span;
    zone.GetTimeSpan(time, span);
    fuzztext::Require(IsPossibleOffset(zone, static_cast<std::uint32_t>(span.GetTotalSeconds())));
    CNavTimeSpan copied;
    copy.GetTimeSpan(time, copied);
    fuzztext::Require(copied.GetTotalSeconds() == span.GetTotalSeconds());
    CNavTime moved = time + zone;
    moved -= span;
    fuzztext::Require(moved.GetTotalSeconds(false) == time.GetTotalSeconds(false));
  }

  zone.SetDescription(text.c_str());
  std::wstring description(room, L'#');
  zone.GetDescription(room == 0 ? nullptr : description.data(), static_cast<unsigned int>(room));
  return 0;
}
