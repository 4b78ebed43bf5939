// The HAL's three device threads: storage-card detection, polling of volume,
// foreground and power state, and power notifications. Each is started with
// the HAL object as its parameter.
#pragma once

#include "runtime/hal_thread.h"

class CStorageCardThread final : public CHALThread {
 public:
  CStorageCardThread() : CHALThread(0) {}
  ~CStorageCardThread() override { Shutdown(); }
  unsigned long Run(void* param) override;
};

class CPollingThread final : public CHALThread {
 public:
  CPollingThread() : CHALThread(0) {}
  ~CPollingThread() override { Shutdown(); }
  unsigned long Run(void* param) override;
};

class CPowerNotificationThread final : public CHALThread {
 public:
  CPowerNotificationThread() : CHALThread(0) {}
  ~CPowerNotificationThread() override { Shutdown(); }
  unsigned long Run(void* param) override;
};
