#pragma once
// What made an operation fail. The operation that failed fills one record and hands it to its
// caller, either kept on the object that failed (PodArchive::failure(), File::failure()) or in
// the value a function returns (Result<T>, or a Failure alone when there is nothing else to
// return). The message routines turn a record into what the user sees, called by the code that
// decides what the user sees (the window logic, the command-line tool); nobody re-derives a
// reason from errno or from the path afterwards.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quillomar {

struct Failure {
    // messageId of a failure no system error or string-table message describes: detail holds
    // the message, shown as a system error's text is ("detail\n==> path").
    static constexpr int kOwnWords = -1;

    int error = 0;             // errno value of the failing call; 0 for a string-table message
    int messageId = 0;         // string-table message shown instead of a system error (101, 103, 111...)
    std::string path;          // the path concerned, shown after "==> "
    std::string detail;        // what exactly is wrong, in words ("" when the message says it all)
    std::uint64_t offset = 0;  // where in the file the damage lies, for a damaged archive

    static Failure system(int error, std::string path, std::string detail = {}) {
        Failure failure;
        failure.error = error;
        failure.path = std::move(path);
        failure.detail = std::move(detail);
        return failure;
    }
    static Failure message(int id, std::string path = {}, std::string detail = {}, std::uint64_t offset = 0) {
        Failure failure;
        failure.messageId = id;
        failure.path = std::move(path);
        failure.detail = std::move(detail);
        failure.offset = offset;
        return failure;
    }

    // what happened to path, in the program's own words.
    static Failure ownWords(std::string path, std::string what) {
        Failure failure;
        failure.messageId = kOwnWords;
        failure.path = std::move(path);
        failure.detail = std::move(what);
        return failure;
    }

    // True when the record holds a failure; an empty record means everything was done.
    bool failed() const { return error != 0 || messageId != 0; }
};

// A value, or the failure that prevented it.
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}              // NOLINT: implicit, as std::expected
    Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT

    explicit operator bool() const { return value_.has_value(); }
    bool ok() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    const Failure& failure() const { return failure_; }

private:
    std::optional<T> value_;
    Failure failure_;
};

}  // namespace quillomar
