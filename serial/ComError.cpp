// The component's error and the application's error display.
#include "serial/ComError.h"

#include <iostream>
#include <mutex>

namespace {

const char* const kPortErrorMessages[EComPort::kMessageCount] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set SyncMethod while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
};

std::string WithOsCode(int portErrorCode, int osErrorCode) {
  return EComPort::MessageText(portErrorCode) + " (win error code: " + std::to_string(osErrorCode) + ")";
}

std::mutex g_errorSinkMutex;
std::function<void(std::exception_ptr)> g_errorSink;

}  // namespace

EComPort::EComPort(int portErrorCode)
    : std::runtime_error(MessageText(portErrorCode)), portErrorCode_(portErrorCode), osErrorCode_(-1), errno_(0) {}

EComPort::EComPort(int portErrorCode, int osErrorCode, int sysErrno)
    : std::runtime_error(WithOsCode(portErrorCode, osErrorCode)),
      portErrorCode_(portErrorCode),
      osErrorCode_(osErrorCode),
      errno_(sysErrno) {}

std::string EComPort::MessageText(int portErrorCode) {
  if (portErrorCode < 1 || portErrorCode > kMessageCount) return "";
  return kPortErrorMessages[portErrorCode - 1];
}

void SetApplicationErrorHandler(std::function<void(std::exception_ptr)> handler) {
  std::lock_guard lock(g_errorSinkMutex);
  g_errorSink = std::move(handler);
}

bool IsAlreadyReported(const std::exception_ptr& error) {
  if (!error) return false;
  try {
    std::rethrow_exception(error);
  } catch (const EComPort& e) {
    return e.AlreadyReported();
  } catch (...) {
    return false;
  }
}

void ShowApplicationError(std::exception_ptr error) {
  if (IsAlreadyReported(error)) return;
  std::function<void(std::exception_ptr)> sink;
  {
    std::lock_guard lock(g_errorSinkMutex);
    sink = g_errorSink;
  }
  if (sink) {
    sink(error);
    return;
  }
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    std::cerr << "zov-q5r: " << e.what() << std::endl;
  } catch (...) {
    std::cerr << "zov-q5r: unknown error" << std::endl;
  }
}
