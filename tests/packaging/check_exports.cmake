# Checks the dynamic symbol table of libpndhal.so: the exported functions and
# classes are there, the HAL's internals are not.
execute_process(COMMAND nm -D --defined-only -C ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()

set(required
  "InitHAL()" "FreeDLL()" "GetBTHAL()" "SetRecordModeOn(bool)" "Connect(IHardwareKeyListener*)"
  "Disconnect(IPMPowerListener*)" "GetVolume(unsigned int&)" "SetBrightness(unsigned int, unsigned int)"
  "GetHardwareKeyMap()" "GetAvailableTimezones()" "GetTimezone()" "GetBtMACAddr(wchar_t*, int)"
  "GetDeviceInfo(eDeviceInfoID, wchar_t*, unsigned long)" "SetFMBandwidth(unsigned int const&, unsigned int const&)"
  "CNavTime::Format(wchar_t*, unsigned long, wchar_t const*)" "CNavTime::m_bTwentyFour"
  "CNavTimeSpan::GetTotalSeconds() const" "CNavTimeZone::GetTimeSpan(CNavTime const&, CNavTimeSpan&) const"
  "CBTHAL::LaunchPhone(wchar_t const*)")
foreach(name IN LISTS required)
  string(FIND "${symbols}" " ${name}\n" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "missing from the export table: ${name}")
  endif()
endforeach()

set(forbidden "CHAL" "CHALThread" "CMessageWindowThread" "WindowMessageSignal" "GetHALInstance" "Keys::"
  "CBTHALImpl" "sim::")
string(REPLACE "\n" ";" lines "${symbols}")
foreach(line IN LISTS lines)
  foreach(name IN LISTS forbidden)
    if(line MATCHES " ${name}(::|\\(| |$)" OR line MATCHES "(vtable|typeinfo)[a-z ]* for ${name}$")
      message(FATAL_ERROR "internal symbol exported: ${line}")
    endif()
  endforeach()
endforeach()
message(STATUS "export table checked")
