// Message boxes: recorded in the trace and the control API's list and
// answered OK at once.
#include "last_error.h"
#include "window_test_support.h"

namespace {

TEST(MessageBox, IsRecordedAndAnsweredOkAtOnce) {
  wintest::Guard guard;
  EXPECT_EQ(MessageBoxW(nullptr, L"No HardwareKeys in Map\n found....EMPTY?!", L"ERROR", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"Gr\u00fc\u00dfe", nullptr, 0x24), IDOK);

  const auto boxes = pndsim::MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, "ERROR");
  EXPECT_EQ(boxes[0].text, "No HardwareKeys in Map\n found....EMPTY?!");
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(boxes[1].caption, "Error") << "the caption of a box without one";
  EXPECT_EQ(boxes[1].text,
            "Gr\xC3\xBC\xC3\x9F"
            "e");
  EXPECT_EQ(boxes[1].type, 0x24u);

  const auto trace = pndsim::Trace();
  ASSERT_EQ(wintest::CountTrace("messagebox"), 2);
  for (const auto& event : trace) {
    if (event.kind != "messagebox") {
      continue;
    }
    EXPECT_NE(event.detail.find("ERROR"), std::string::npos) << event.detail;
    EXPECT_NE(event.detail.find("No HardwareKeys in Map"), std::string::npos) << event.detail;
    break;
  }
}

TEST(MessageBox, TheListIsClearedByReset) {
  wintest::Guard guard;
  MessageBoxW(nullptr, L"text", L"caption", MB_OK);
  ASSERT_EQ(pndsim::MessageBoxes().size(), 1u);
  pndsim::Reset();
  EXPECT_TRUE(pndsim::MessageBoxes().empty());
}

TEST(MessageBox, AnInvalidOwnerFailsTheCall) {
  wintest::Guard guard;
  pndtest::PoisonLastError();
  EXPECT_EQ(MessageBoxW(reinterpret_cast<HWND>(0x4242), L"text", L"caption", MB_OK), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_TRUE(pndsim::MessageBoxes().empty());
}

}  // namespace
