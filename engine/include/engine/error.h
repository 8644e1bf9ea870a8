// One exception type for every failure the engine layer and the host conversions report.
// It carries the number the callers test (3270 property not found, 13 type mismatch, ...)
// and a Japanese description as the Japanese engine words it.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace engine {

class Error : public std::runtime_error {
  public:
    // detail: the system's own words for the failure (the storage's or the C library's message, in
    // English), kept apart so that a Japanese window can show them as details.
    Error(long number, std::string description, std::string detail = {})
        : std::runtime_error(description), number_(number), description_(std::move(description)),
          detail_(std::move(detail)) {}

    long Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Detail() const noexcept { return detail_; }

  private:
    long number_;
    std::string description_;
    std::string detail_;
};

// Error numbers the system tests for or that a user meets: the engine raises no other. Each
// has its Japanese description (error.cpp).
#define TAVORIN_ENGINE_ERRORS(X)                                                                   \
    X(kInvalidProcedureCall, 5)                                                                    \
    X(kOverflow, 6)                                                                                \
    X(kTypeMismatch, 13)                                                                           \
    X(kInvalidUseOfNull, 94)                                                                       \
    X(kInvalidArgument, 3001)                                                                      \
    X(kTableExists, 3010)                                                                          \
    X(kObjectNotFound, 3011)                                                                       \
    X(kNoCurrentRecord, 3021)                                                                      \
    X(kDuplicateKey, 3022)                                                                         \
    X(kFileNotFound, 3024)                                                                         \
    X(kReadOnly, 3027)                                                                             \
    X(kNotInTransaction, 3034)                                                                     \
    X(kTooManyFields, 3190)                                                                        \
    X(kTooManyIndexes, 3626)                                                                       \
    X(kSyntaxInCriteria, 3077)                                                                     \
    X(kUnknownField, 3061)                                                                         \
    X(kSyntaxInExpression, 3075)                                                                   \
    X(kTableNotFound, 3078)                                                                        \
    X(kOperationNotSupported, 3251)                                                                \
    X(kItemNotFound, 3265)                                                                         \
    X(kPropertyNotFound, 3270)                                                                     \
    X(kNameExists, 3012)                                                                           \
    X(kUpdateWithoutAddNew, 3020)                                                                  \
    X(kNullInIndex, 3058)                                                                          \
    X(kTextTooLong, 3163)                                                                          \
    X(kRecordDeleted, 3167)                                                                        \
    X(kDatabaseExists, 3204)                                                                       \
    X(kRequiredNull, 3314)                                                                         \
    X(kZeroLength, 3315)                                                                           \
    X(kBadFormat, 3343)                                                                            \
    X(kNumericOverflow, 3349)                                                                      \
    X(kTooManyIndexFields, 3369)                                                                   \
    X(kInvalidName, 3125)                                                                          \
    X(kConversionError, 3421)                                                                      \
    X(kIndexNotFound, 3800)                                                                        \
    X(kDiskIo, 3043)                                                                               \
    X(kDiskFull, 3026)                                                                             \
    X(kEngineFailure, 3000)                                                                        \
    X(kObjectClosed, 3420)                                                                         \
    X(kPropertyExists, 3367)                                                                       \
    X(kFieldExists, 3191)                                                                          \
    X(kFieldNotUpdatable, 3164)                                                                    \
    X(kTooManyTransactions, 3003)                                                                  \
    X(kFieldInIndex, 3280)                                                                         \
    X(kInvalidOperation, 3219)                                                                     \
    X(kInvalidBookmark, 3159)                                                                      \
    X(kNoCurrentIndex, 3019)                                                                       \
    X(kNoFieldDefined, 3264)                                                                       \
    X(kIndexExists, 3284)                                                                          \
    X(kPrimaryExists, 3283)                                                                        \
    X(kLocked, 3045)                                                                               \
    X(kNoPermission, 3051)                                                                         \
    X(kOutOfMemory, 7)                                                                             \
    X(kTooManyDatabases, 3048)                                                                     \
    X(kSyntaxInFrom, 3131)                                                                         \
    X(kSubscriptOutOfRange, 9)                                                                     \
    X(kDivisionByZero, 11)                                                                         \
    X(kBadFileName, 52)                                                                            \
    X(kHostFileNotFound, 53)                                                                       \
    X(kBadPathName, 75)                                                                            \
    X(kPathNotFound, 76)                                                                           \
    X(kInvalidPath, 3044)                                                                          \
    X(kInvalidFieldType, 3259)                                                                     \
    /* The engine's own number (Jet has none for it): the storage rolled the open         */       \
    /* transaction back by itself after a failed statement, so no change is accepted     */        \
    /* until Rollback.                                                                   */        \
    X(kTransactionLost, 3900)                                                                      \
    /* The engine's own number: a genuine file whose pages are encoded or that has a      */       \
    /* database password, which the engine does not change.                               */       \
    X(kEncryptedFile, 3901)

namespace err {
#define TAVORIN_ENGINE_ERROR_CONSTANT(name, number) constexpr long name = number;
TAVORIN_ENGINE_ERRORS(TAVORIN_ENGINE_ERROR_CONSTANT)
#undef TAVORIN_ENGINE_ERROR_CONSTANT

// Every number above.
#define TAVORIN_ENGINE_ERROR_NUMBER(name, number) number,
inline constexpr long kAllNumbers[] = {TAVORIN_ENGINE_ERRORS(TAVORIN_ENGINE_ERROR_NUMBER)};
#undef TAVORIN_ENGINE_ERROR_NUMBER
} // namespace err

// Builds an Error with the engine's own Japanese description for a number (one of err::; a
// checking build stops at any other, so that no user meets an undescribed number).
// `detail` replaces the "|" placeholder of descriptions that name an object.
[[noreturn]] void Throw(long number, const std::string& detail = {});
std::string DescriptionOf(long number, const std::string& detail = {});
// True when the engine has a description of its own for the number (DescriptionOf gives a
// generic text for the others).
bool HasDescription(long number);

// What a program shows for an exception that reached its boundary: an engine::Error as it is,
// a failed allocation (std::bad_alloc, std::length_error) as error 7 in the engine's words,
// never the C++ library's own text. nullopt for any other exception.
std::optional<Error> AsEngineError(const std::exception& e);

} // namespace engine
