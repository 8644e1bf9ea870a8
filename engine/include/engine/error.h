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
    // detail: the system's own words for the failure (SQLite's or the C library's message, in
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

// Error numbers the system tests for or that a user meets.
namespace err {
constexpr long kInvalidProcedureCall = 5;
constexpr long kOverflow = 6;
constexpr long kTypeMismatch = 13;
constexpr long kInvalidUseOfNull = 94;
constexpr long kInvalidArgument = 3001;
constexpr long kTableExists = 3010;
constexpr long kObjectNotFound = 3011;
constexpr long kNoCurrentRecord = 3021;
constexpr long kDuplicateKey = 3022;
constexpr long kFileNotFound = 3024;
constexpr long kReadOnly = 3027;
constexpr long kNotInTransaction = 3034;
constexpr long kTooManyFields = 3190;
constexpr long kTooManyIndexes = 3626;
constexpr long kSyntaxInCriteria = 3077;
constexpr long kUnknownField = 3061;
constexpr long kSyntaxInExpression = 3075;
constexpr long kTableNotFound = 3078;
constexpr long kOperationNotSupported = 3251;
constexpr long kItemNotFound = 3265;
constexpr long kPropertyNotFound = 3270;
constexpr long kNameExists = 3012;
constexpr long kUpdateWithoutAddNew = 3020;
constexpr long kNullInIndex = 3058;
constexpr long kTextTooLong = 3163;
constexpr long kRecordDeleted = 3167;
constexpr long kDatabaseExists = 3204;
constexpr long kRequiredNull = 3314;
constexpr long kZeroLength = 3315;
constexpr long kBadFormat = 3343;
constexpr long kNumericOverflow = 3349;
constexpr long kTooManyIndexFields = 3369;
constexpr long kInvalidName = 3125;
constexpr long kConversionError = 3421;
constexpr long kIndexNotFound = 3800;
constexpr long kDiskIo = 3043;
constexpr long kDiskFull = 3026;
constexpr long kEngineFailure = 3000;
constexpr long kObjectClosed = 3420;
constexpr long kPropertyExists = 3367;
constexpr long kFieldExists = 3191;
constexpr long kFieldNotUpdatable = 3164;
constexpr long kTooManyTransactions = 3003;
constexpr long kFieldInIndex = 3280;
constexpr long kInvalidOperation = 3219;
constexpr long kInvalidBookmark = 3159;
constexpr long kNoCurrentIndex = 3019;
constexpr long kNoFieldDefined = 3264;
constexpr long kIndexExists = 3284;
constexpr long kPrimaryExists = 3283;
constexpr long kLocked = 3045;
constexpr long kNoPermission = 3051;
constexpr long kOutOfMemory = 7;
constexpr long kTooManyDatabases = 3048;
// The engine's own number (Jet has none for it): SQLite rolled the open transaction back by
// itself after a failed statement, so no change is accepted until Rollback ends it.
constexpr long kTransactionLost = 3900;
} // namespace err

// Builds an Error with the engine's own Japanese description for a number.
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
