// Message boxes: recorded (in the trace and in a list of bounded length) and answered at once, so that
// nothing ever waits for a person to close a dialog.
#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  KernelLock lock(KernelMutex());
  if (owner != nullptr && !LookupWindow(owner)) {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, 0);
  }
  pndsim::MessageBoxRecord box{Narrow(caption != nullptr ? caption : L"Error"), Narrow(text), type};
  Record("messagebox", {TextField("caption", box.caption), TextField("text", box.text)}, "{caption}: {text}");
  State().messageBoxes.Add(std::move(box));
  return IDOK;
}

std::vector<pndsim::MessageBoxRecord> pndsim::MessageBoxes() {
  KernelLock lock(KernelMutex());
  return State().messageBoxes.Copy();
}

void pndsim::ClearMessageBoxes() {
  KernelLock lock(KernelMutex());
  State().messageBoxes.Clear();
}

void pndsim::SetMessageBoxesCapacity(std::size_t capacity) {
  KernelLock lock(KernelMutex());
  State().messageBoxes.SetCapacity(capacity);
}

pndsim::RecordStatus pndsim::MessageBoxesStatus() {
  KernelLock lock(KernelMutex());
  return State().messageBoxes.Status();
}
