// Window classes: registration, look-up, removal, injected failure, and the
// stock objects a class uses for its background.
#include "last_error.h"
#include "window_test_support.h"

namespace {

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

WNDCLASSW ClassNamed(const wchar_t* name) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PlainProcedure;
  windowClass.lpszClassName = name;
  return windowClass;
}

HWND CreateOf(LPCWSTR className) {
  return CreateWindowExW(0, className, L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

TEST(WindowClass, ASecondRegistrationOfTheSameNameFails) {
  wintest::Guard guard;
  WNDCLASSW first = ClassNamed(L"Twice");
  const ATOM atom = RegisterClassW(&first);
  EXPECT_GE(atom, 0xC000);

  WNDCLASSW again = ClassNamed(L"Twice");
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(RegisterClassW(&again), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  // Class names compare without regard to case, as on the device platform.
  WNDCLASSW otherCase = ClassNamed(L"TWICE");
  pndtest::PoisonLastError();
  EXPECT_EQ(RegisterClassW(&otherCase), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSW other = ClassNamed(L"Once");
  const ATOM otherAtom = RegisterClassW(&other);
  EXPECT_NE(otherAtom, 0);
  EXPECT_NE(otherAtom, atom);
}

TEST(WindowClass, GetClassInfoReturnsTheRegistration) {
  wintest::Guard guard;
  WNDCLASSW windowClass = ClassNamed(L"Described");
  windowClass.style = CS_DBLCLKS;
  windowClass.cbWndExtra = 12;
  windowClass.cbClsExtra = 4;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.hInstance = reinterpret_cast<HINSTANCE>(0x4000);
  ASSERT_NE(RegisterClassW(&windowClass), 0);

  WNDCLASSW found{};
  const wchar_t* asked = L"described";
  ASSERT_TRUE(GetClassInfoW(nullptr, asked, &found));
  EXPECT_EQ(found.style, CS_DBLCLKS);
  EXPECT_EQ(found.lpfnWndProc, &PlainProcedure);
  EXPECT_EQ(found.cbWndExtra, 12);
  EXPECT_EQ(found.cbClsExtra, 4);
  EXPECT_EQ(found.hbrBackground, GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(found.hInstance, reinterpret_cast<HINSTANCE>(0x4000));
  EXPECT_EQ(found.lpszMenuName, nullptr);
  EXPECT_EQ(found.lpszClassName, asked);

  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(GetClassInfoW(nullptr, L"NeverRegistered", &found));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST(WindowClass, RegistrationNeedsANameAndAProcedure) {
  wintest::Guard guard;
  WNDCLASSW noProcedure = ClassNamed(L"NoProcedure");
  noProcedure.lpfnWndProc = nullptr;
  pndtest::PoisonLastError();
  EXPECT_EQ(RegisterClassW(&noProcedure), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  WNDCLASSW noName = ClassNamed(nullptr);
  pndtest::PoisonLastError();
  EXPECT_EQ(RegisterClassW(&noName), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  WNDCLASSW emptyName = ClassNamed(L"");
  EXPECT_EQ(RegisterClassW(&emptyName), 0);

  WNDCLASSW negativeExtra = ClassNamed(L"Negative");
  negativeExtra.cbWndExtra = -4;
  EXPECT_EQ(RegisterClassW(&negativeExtra), 0);
  EXPECT_EQ(RegisterClassW(nullptr), 0);
}

TEST(WindowClass, AnInjectedFailureFailsOneRegistration) {
  wintest::Guard guard;
  pndsim::FailNext(pndsim::Call::RegisterClass);
  WNDCLASSW windowClass = ClassNamed(L"Injected");
  EXPECT_EQ(RegisterClassW(&windowClass), 0);
  WNDCLASSW found{};
  EXPECT_FALSE(GetClassInfoW(nullptr, L"Injected", &found));
  EXPECT_NE(RegisterClassW(&windowClass), 0);
}

TEST(WindowClass, TheAtomNamesTheClassToo) {
  wintest::Guard guard;
  WNDCLASSW windowClass = ClassNamed(L"ByAtom");
  const ATOM atom = RegisterClassW(&windowClass);
  ASSERT_NE(atom, 0);
  const auto* asName = reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(atom));
  HWND window = CreateOf(asName);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(FindWindowW(L"ByAtom", nullptr), window);
  EXPECT_TRUE(DestroyWindow(window));
}

TEST(WindowClass, AClassWithWindowsCannotBeUnregistered) {
  wintest::Guard guard;
  WNDCLASSW windowClass = ClassNamed(L"Removable");
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  HWND window = CreateOf(L"Removable");
  ASSERT_NE(window, nullptr);

  pndtest::PoisonLastError();
  EXPECT_FALSE(UnregisterClassW(L"Removable", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);

  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(UnregisterClassW(L"Removable", nullptr));
  pndtest::PoisonLastError();
  EXPECT_EQ(CreateOf(L"Removable"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  pndtest::PoisonLastError();
  EXPECT_FALSE(UnregisterClassW(L"Removable", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST(StockObject, TheWhiteBrushHasOneStableHandleAndUnknownObjectsNone) {
  HGDIOBJ white = GetStockObject(WHITE_BRUSH);
  EXPECT_NE(white, nullptr);
  EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
  EXPECT_NE(GetStockObject(BLACK_BRUSH), white);
  EXPECT_LT(reinterpret_cast<std::uintptr_t>(white), 0x100000000u);
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
}

}  // namespace
