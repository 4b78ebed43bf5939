// The storage-card thread's body. Until card detection watches the device, it
// waits for its stop request; the power and polling threads live with the
// power services.
#include "hal/device_threads.h"

unsigned long CStorageCardThread::Run(void* param) {
  if (param == nullptr) return 0;
  StopEvent().Wait(INFINITE);
  return 0;
}
