#pragma once

#include <QByteArray>
#include <exception>

namespace znr {

// Failure numbers as the error log has always shown them.
namespace FailureNo {
inline constexpr int InvalidArgument = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int OutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int BadFileName = 52;
inline constexpr int FileNotFound = 53;
inline constexpr int DeviceIo = 57;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
inline constexpr int PathNotFound = 76;
} // namespace FailureNo

// The one exception type of the program: a failure number and its description. Every routine
// catches it (see guarded() in ErrorLog.h) and logs it under its own name.
class Failure : public std::exception {
public:
    Failure(int number, QByteArray description)
        : number_(number), description_(std::move(description)) {}

    int number() const noexcept { return number_; }
    const QByteArray& description() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.constData(); }

    static Failure invalidArgument() {
        return {FailureNo::InvalidArgument, "Invalid procedure call or argument"};
    }
    static Failure overflow() { return {FailureNo::Overflow, "Overflow"}; }
    static Failure outOfRange() { return {FailureNo::OutOfRange, "Subscript out of range"}; }
    static Failure typeMismatch() { return {FailureNo::TypeMismatch, "Type mismatch"}; }

    // A failure from the operating system's errno, in the numbering above.
    static Failure fromErrno(int err);

private:
    int number_;
    QByteArray description_;
};

} // namespace znr
