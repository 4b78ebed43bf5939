// Registered window messages: one number per name, case-insensitive, from
// 0xC000 up.
#include <set>

#include "last_error.h"
#include "window_test_support.h"

namespace {

TEST(RegisterWindowMessage, TheSameNameGivesTheSameNumberFrom0xC000Up) {
  const UINT hangUp = RegisterWindowMessageW(L"WM_ORXBT_INMSG_HANGUP");
  const UINT power = RegisterWindowMessageW(L"WM_ORXBT_INMSG_BTPOWER");
  EXPECT_GE(hangUp, 0xC000u);
  EXPECT_LE(hangUp, 0xFFFFu);
  EXPECT_GE(power, 0xC000u);
  EXPECT_NE(hangUp, power);
  EXPECT_EQ(RegisterWindowMessageW(L"WM_ORXBT_INMSG_HANGUP"), hangUp);
  EXPECT_EQ(RegisterWindowMessageW(L"wm_orxbt_inmsg_hangup"), hangUp) << "names ignore case";
}

TEST(RegisterWindowMessage, TwentyTwoNamesGiveTwentyTwoNumbers) {
  std::set<UINT> numbers;
  for (int i = 0; i < 22; ++i) {
    const std::wstring name = L"WM_TEST_MESSAGE_" + std::to_wstring(i);
    numbers.insert(RegisterWindowMessageW(name.c_str()));
  }
  EXPECT_EQ(numbers.size(), 22u);
  EXPECT_GE(*numbers.begin(), 0xC000u);
}

TEST(RegisterWindowMessage, ANullOrEmptyNameGivesZero) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
