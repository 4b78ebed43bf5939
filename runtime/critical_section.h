// A recursive lock over the platform's critical section, with a nesting count.
#pragma once

#include "ce/kernel.h"

class CCriticalSection {
 public:
  CCriticalSection() { InitializeCriticalSection(&m_section); }
  ~CCriticalSection() { DeleteCriticalSection(&m_section); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  void Enter() {
    EnterCriticalSection(&m_section);
    ++m_iCount;
  }
  void Leave() {
    --m_iCount;
    LeaveCriticalSection(&m_section);
  }
  /// Times the owning thread has entered and not yet left (0 when free).
  int Count() const { return m_iCount; }

 private:
  int m_iCount = 0;
  CRITICAL_SECTION m_section{};
};

/// Holds a CCriticalSection for a scope, also while the thread unwinds.
class CCriticalSectionLock {
 public:
  explicit CCriticalSectionLock(CCriticalSection& section) : m_section(section) { m_section.Enter(); }
  ~CCriticalSectionLock() { m_section.Leave(); }
  CCriticalSectionLock(const CCriticalSectionLock&) = delete;
  CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

 private:
  CCriticalSection& m_section;
};
