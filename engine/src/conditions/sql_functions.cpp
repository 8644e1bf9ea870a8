// The SQL functions translated conditions call (jet_like, jet_text, jet_idiv, jet_mod, jet_pow),
// registered on every connection.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "conditions/criteria.h"
#include "conditions/dates.h"
#include "engine/names.h"

namespace engine::detail {

using namespace conditions;

namespace {

std::optional<std::string> ValueText(sqlite3_value* v, bool asDate) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER: {
        sqlite3_int64 i = sqlite3_value_int64(v);
        return asDate ? DateText(static_cast<double>(i)) : std::to_string(i);
    }
    case SQLITE_FLOAT: {
        double d = sqlite3_value_double(v);
        return asDate ? DateText(d) : NumberText(d);
    }
    default: {
        const auto* text = sqlite3_value_text(v);
        int bytes = sqlite3_value_bytes(v);
        return std::string(text ? reinterpret_cast<const char*>(text) : "",
                           static_cast<size_t>(bytes));
    }
    }
}

template <typename F> void Guarded(sqlite3_context* ctx, F&& body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text64(ctx, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void SqlLike(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Guarded(ctx, [&] {
        auto value = ValueText(argv[0], false);
        auto pattern = ValueText(argv[1], false);
        if (!value || !pattern) return sqlite3_result_null(ctx);
        sqlite3_result_int(ctx, JetLikeMatch(*value, *pattern) ? 1 : 0);
    });
}

void SqlText(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Guarded(ctx, [&] {
        bool asDate = false;
        if (argc == 2) {
            auto kind = ValueText(argv[1], false);
            asDate = kind && NamesEqual(*kind, "date");
        }
        auto text = ValueText(argv[0], asDate);
        if (!text) return sqlite3_result_null(ctx);
        ResultText(ctx, *text);
    });
}

// An operand of "\" or Mod: rounded half to even, as the host rounds; nullopt for Null or a
// value too large to hold exactly.
std::optional<int64_t> RoundedOperand(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return std::nullopt;
    case SQLITE_INTEGER:
        return sqlite3_value_int64(v);
    default: {
        double d = std::nearbyint(sqlite3_value_double(v));
        if (!(std::fabs(d) <= 9007199254740992.0)) return std::nullopt;
        return static_cast<int64_t>(d);
    }
    }
}

void SqlIntegerDivision(sqlite3_context* ctx, bool remainder, sqlite3_value** argv) {
    auto a = RoundedOperand(argv[0]);
    auto b = RoundedOperand(argv[1]);
    if (!a || !b || *b == 0 || (*a == INT64_MIN && *b == -1)) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, remainder ? *a % *b : *a / *b);
}

void SqlIdiv(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SqlIntegerDivision(ctx, false, argv);
}
void SqlMod(sqlite3_context* ctx, int, sqlite3_value** argv) {
    SqlIntegerDivision(ctx, true, argv);
}

void SqlPow(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    double r = std::pow(sqlite3_value_double(argv[0]), sqlite3_value_double(argv[1]));
    if (!std::isfinite(r)) return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, r);
}

} // namespace

int RegisterCriteriaFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    const Fn fns[] = {{"jet_like", 2, SqlLike}, {"jet_text", 1, SqlText}, {"jet_text", 2, SqlText},
                      {"jet_idiv", 2, SqlIdiv}, {"jet_mod", 2, SqlMod},   {"jet_pow", 2, SqlPow}};
    for (const Fn& f : fns) {
        int rc = sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr,
                                            nullptr, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
}

} // namespace engine::detail
