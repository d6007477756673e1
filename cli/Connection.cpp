#include "cli/Connection.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <cstring>

#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "link/Channel.h"
#include "link/Login.h"
#include "receiver/LineTrace.h"
#include "receiver/LoginDrive.h"
#include "receiver/Session.h"
#include "serial/ComPort.h"
#include "serial/PortErrorHint.h"
#include "trace/TraceFile.h"

namespace cli {

namespace {

const char* const kPressReset = "Stiskněte tlačítko reset na přijímači…";
const char* const kNotLoggedIn = "Přihlášení se nezdařilo – stiskněte reset na přijímači znovu";

}  // namespace

std::string ErrorText(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
    return {};
  } catch (const EComPort& e) {
    std::string text = e.what();
    if (e.Errno() != 0) {
      text += ": " + QString::fromLocal8Bit(std::strerror(e.Errno())).toStdString();
      if (const std::string hint = serial::PortErrorHint(e.Errno()); !hint.empty()) text += "\n" + hint;
    }
    return text;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "neznámá chyba";
  }
}

TConnection::TConnection(const TOptions& options, TOutput& output, TInterrupt& interrupt)
    : options_(options), output_(output), interrupt_(interrupt) {
  OperatorCode = static_cast<std::uint8_t>(options.OperatorCode);
  // What the serial component reports by itself (a failed wait for the
  // line, a lost adapter) ends the running wait, and is told once.
  session_ = std::make_unique<receiver::TSession>([this](std::exception_ptr error) {
    if (!IsAlreadyReported(error)) output_.Error(ErrorText(error));
  });
  TChannel* channel = &session_->Channel();
  QObject::connect(&interrupt_, &TInterrupt::Stopped, channel, [channel] { channel->RequestStop(); });
  // A signal that came before this connection still stops it.
  if (interrupt_.StopAsked()) channel->RequestStop();
}

TConnection::~TConnection() {
  // The port closes first, so the trace notes it; then nothing more goes
  // into the trace.
  session_.reset();
  StopTrace();
}

int TConnection::Open() {
  if (!options_.Trace.empty()) {
    std::string why;
    trace_ = trace::TTraceFile::Open(options_.Trace, &why);
    if (!trace_) {
      output_.Error("cannot open the trace file '" + options_.Trace + "': " + why);
      return kUsage;
    }
    // Its own report, without going into the trace it is about.
    trace_->SetReporter([this](const std::string& message) {
      const std::string_view prefix = "zov-q5r: ";
      output_.ErrorUntraced(message.starts_with(prefix) ? message.substr(prefix.size()) : message);
    });
    StartTrace(*trace_, "zov-q5r-cli", options_.Servis);
  }
  TComPort& port = session_->Port();
  port.SetPort(options_.Port);
  try {
    port.OpenPort();
  } catch (...) {
    return Report(std::current_exception());
  }
  return kDone;
}

std::optional<int> TConnection::Serial() const { return session_->Channel().ReceiverSerial(); }

TJson TConnection::ResultObject(const char* result) const {
  TJson object = TJson::Object();
  object.Add("command", CommandName(options_.Command));
  object.Add("port", options_.Port);
  object.Add("serial", TJson::Number(Serial()));
  object.Add("result", result);
  return object;
}

TLogin TConnection::LogIn(bool first) {
  loginError_ = nullptr;
  TChannel& channel = session_->Channel();
  const auto failed = [&](std::exception_ptr error) {
    loginError_ = error;
    try {
      std::rethrow_exception(error);
    } catch (const EStopped&) {
      return TLogin::Stopped;
    } catch (const EComPort&) {
      return TLogin::Failed;
    }
  };
  try {
    if (first) {
      if (receiver::StillLoggedIn()) return TLogin::LoggedIn;
      receiver::BeginLoginAfterWake();
    } else {
      receiver::BeginLogin();
    }
  } catch (const EStopped&) {
    return failed(std::current_exception());
  } catch (const EComPort&) {
    return failed(std::current_exception());
  }
  // It asks the technician to act: shown with -q too, or the wait would
  // look like a hang.
  output_.Notice(kPressReset);

  const QDeadlineTimer deadline =
      first ? QDeadlineTimer(static_cast<qint64>(options_.LoginTimeoutS) * 1000) : QDeadlineTimer(QDeadlineTimer::Forever);
  std::optional<TLogin> end;
  bool ticking = false;
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(login::kPollIntervalMs);
  const auto finish = [&](TLogin how) {
    end = how;
    poll.stop();
    loop.quit();
  };
  // One tick as the reset dialog's login timer runs it; the timeout counts
  // while the receiver does not answer, and a login under way completes.
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    ticking = true;
    login::TLoginTick tick = login::TLoginTick::Polling;
    try {
      tick = receiver::LoginTick(OperatorCode, [&] { poll.stop(); });
    } catch (const EStopped&) {
      ticking = false;
      return finish(failed(std::current_exception()));
    } catch (const EComPort&) {
      ticking = false;
      return finish(failed(std::current_exception()));
    }
    ticking = false;
    switch (tick) {
      case login::TLoginTick::LoggedIn:
        return finish(TLogin::LoggedIn);
      case login::TLoginTick::Polling:
        break;
      case login::TLoginTick::NoOperatorPrompt:
      case login::TLoginTick::NotConfirmed:
        // The receiver took the login for nothing (reset again meanwhile):
        // the next reset logs it in.
        output_.Info(kNotLoggedIn);
        poll.start();
        break;
    }
    if (deadline.hasExpired()) finish(TLogin::TimedOut);
  });
  // Between ticks nothing waits that a stop or a failure could end.
  QObject::connect(&interrupt_, &TInterrupt::Stopped, &loop, [&] {
    if (!ticking) finish(TLogin::Stopped);
  });
  QObject::connect(&channel, &TChannel::PortFailed, &loop, [&] {
    if (!ticking) finish(TLogin::Failed);
  });
  if (interrupt_.StopAsked()) return TLogin::Stopped;
  if (channel.PortHasFailed()) return TLogin::Failed;
  poll.start();
  loop.exec();
  return end.value_or(TLogin::Stopped);
}

int TConnection::ReportLogin(TLogin end) {
  switch (end) {
    case TLogin::LoggedIn:
      return kDone;
    case TLogin::TimedOut:
      output_.Error("Přijímač neodpověděl: do " + std::to_string(options_.LoginTimeoutS) +
                    " s se nepřihlásil (stisknut reset? správný port a kabel?)");
      return kNoAnswer;
    case TLogin::Stopped:
      return interrupt_.Status();
    case TLogin::Failed:
      // A failure the component reported by itself has been told; one met by
      // a send of the login is told now.
      if (loginError_) return Report(loginError_);
      return kPort;
  }
  return kPort;
}

int TConnection::Report(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EStopped&) {
    return interrupt_.Status();
  } catch (const EComPort& e) {
    if (!e.AlreadyReported()) output_.Error(ErrorText(error));
    return kPort;
  } catch (...) {
    output_.Error(ErrorText(error));
    return kNotDone;
  }
}

}  // namespace cli
