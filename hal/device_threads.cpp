// Bodies of the device threads. Until the device services watch the
// hardware, each thread waits for its stop request.
#include "hal/device_threads.h"

unsigned long CStorageCardThread::Run(void* param) {
  if (param == nullptr) return 0;
  StopEvent().Wait(INFINITE);
  return 0;
}

unsigned long CPollingThread::Run(void* param) {
  if (param == nullptr) return 0;
  StopEvent().Wait(INFINITE);
  return 0;
}

unsigned long CPowerNotificationThread::Run(void* param) {
  if (param == nullptr) return 0;
  StopEvent().Wait(INFINITE);
  return 0;
}
