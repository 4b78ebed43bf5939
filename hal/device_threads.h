// The HAL's three device threads: storage-card detection, polling of volume,
// foreground and power state, and power notifications; and the short-lived
// thread of a backlight fade. Each is started with the HAL object as its
// parameter.
#pragma once

#include "pndhal/records.h"
#include "runtime/hal_thread.h"

class CStorageCardThread final : public CHALThread {
 public:
  CStorageCardThread() : CHALThread(0) {}
  ~CStorageCardThread() override { Shutdown(); }
  unsigned long Run(void* param) override;

 private:
  // Refilled for every notification; listeners get it only during the call.
  CardInfo m_cardInfo{};
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

/// Fades the backlight from its current level towards a target percentage in
/// steps of the HAL's fade step, under the process-wide fade lock.
class CBrightnessFadeThread final : public CHALThread {
 public:
  CBrightnessFadeThread(unsigned int targetPercent, unsigned int fade)
      : CHALThread(0), m_uiTargetPercent(targetPercent), m_uiFade(fade) {}
  ~CBrightnessFadeThread() override { Shutdown(); }
  unsigned long Run(void* param) override;

 private:
  unsigned int m_uiTargetPercent;
  unsigned int m_uiFade;
};
