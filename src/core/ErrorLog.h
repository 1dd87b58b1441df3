#pragma once

#include "core/Failure.h"

#include <QByteArray>
#include <new>
#include <string_view>
#include <utility>

namespace znr {

class Clock;

// The one failure sink of the program: "ZNRError.log" in the configured error folder.
class ErrorLog {
public:
    // `folder` is the error-folder setting, read at every line (it may change during the run).
    ErrorLog(const QByteArray& folder, const Clock& clock) : folder_(folder), clock_(clock) {}

    // Appends "name, number, description, date-time". Never fails and never throws: when the
    // log cannot be written, the line is lost. Nothing is written while the folder is empty.
    void write(std::string_view procedure, int number,
               const QByteArray& description) const noexcept;

    void write(std::string_view procedure, const Failure& f) const noexcept {
        write(procedure, f.number(), f.description());
    }

    // The log's path: the folder setting with "ZNRError.log" appended; empty while unset.
    QByteArray logPath() const;

    const Clock& clock() const { return clock_; }

    // While it lives, the last line written to the log is also kept in `lastLine`, so that the
    // lines of one connection's events can be shown beside that connection.
    class Capture {
    public:
        Capture(const ErrorLog& log, QByteArray& lastLine)
            : log_(log), outer_(std::exchange(log.capture_, &lastLine)) {}
        ~Capture() { log_.capture_ = outer_; }
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

    private:
        const ErrorLog& log_;
        QByteArray* outer_;
    };

private:
    const QByteArray& folder_;
    const Clock& clock_;
    mutable QByteArray* capture_ = nullptr; // set by a Capture
};

// Runs `body`, and when it fails logs the failure under `procedure` and returns false: each
// routine names itself once and ends at its failing step, as every routine of the program does.
template <class Body>
bool guarded(const ErrorLog& log, std::string_view procedure, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const Failure& f) {
        log.write(procedure, f);
    } catch (const std::bad_alloc&) {
        log.write(procedure, FailureNo::OutOfMemory, "Out of memory");
    } catch (const std::exception& e) {
        log.write(procedure, FailureNo::InvalidArgument, QByteArray(e.what()));
    } catch (...) {
        log.write(procedure, FailureNo::InvalidArgument, "Unexpected failure");
    }
    return false;
}

} // namespace znr
