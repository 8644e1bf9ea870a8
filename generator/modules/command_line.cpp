#include "command_line.h"

#include <map>
#include <optional>
#include <set>

#include "engine/error.h"
#include "engine/workspace.h"
#include "field_table.h"
#include "module_file.h"
#include "module_text.h"

namespace vespen {

namespace {

struct Request {
    std::string database;
    std::string out;
    std::optional<std::vector<std::string>> tables;
    GeneratorOptions options;
    bool help = false;
    bool version = false;
};

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::vector<std::string> SplitTables(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        size_t comma = list.find(',', start);
        std::string name = TrimBlanks(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!name.empty()) names.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return names;
}

Request Parse(const std::vector<std::string>& args) {
    Request r;
    GeneratorOptions& o = r.options;
    const std::map<std::string, std::string*> options = {
        {"--db", &r.database},
        {"--out", &r.out},
        {"--record-prefix", &o.RecordPrefix},
        {"--read-prefix", &o.ReadPrefix},
        {"--write-prefix", &o.WritePrefix},
        {"--padding", &o.Padding},
        {"--workspace", &o.WorkspaceName},
        {"--database-prefix", &o.DatabasePrefix},
        {"--recordset-prefix", &o.RecordsetPrefix},
    };
    std::set<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            r.help = true;
            continue;
        }
        if (name == "--version") {
            r.version = true;
            continue;
        }
        bool known = name == "--tables" || options.count(name) != 0;
        if (!known) throw UsageError("知らない引数です: " + args[i]);
        if (!seen.insert(name).second) throw UsageError(name + " が二度指定されています。");
        if (!value) {
            if (i + 1 >= args.size()) throw UsageError(name + " の値がありません。");
            value = args[++i];
        }
        if (name == "--tables")
            r.tables = SplitTables(*value);
        else
            // Stored trimmed, as the options window stores what it is given.
            *options.at(name) = (name == "--db" || name == "--out") ? *value : TrimBlanks(*value);
    }
    if (r.help || r.version) return r;
    if (r.database.empty()) throw UsageError("--db でmdbファイルを指定してください。");
    if (r.out.empty()) throw UsageError("--out で保存するbasファイルを指定してください。");
    if (r.tables && r.tables->empty()) throw UsageError("--tables にテーブル名がありません。");
    return r;
}

bool EndsInMdb(const std::string& path) {
    return path.size() >= 4 && (path.compare(path.size() - 4, 4, ".mdb") == 0 ||
                                path.compare(path.size() - 4, 4, ".MDB") == 0);
}

// The chosen tables in the order of the database's table list, as the window lists them.
std::vector<std::string> ChooseTables(const std::vector<std::string>& listed,
                                      const std::optional<std::vector<std::string>>& wanted) {
    if (!wanted) return listed;
    std::vector<std::string> chosen;
    for (const std::string& table : listed)
        for (const std::string& name : *wanted)
            if (SameName(table, name)) {
                chosen.push_back(table);
                break;
            }
    std::string missing;
    for (const std::string& name : *wanted) {
        bool found = false;
        for (const std::string& table : listed) found = found || SameName(table, name);
        if (!found) missing += (missing.empty() ? "" : ", ") + name;
    }
    if (!missing.empty()) throw std::runtime_error("テーブルがありません: " + missing);
    return chosen;
}

} // namespace

bool WantsCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args)
        if (arg.rfind("--", 0) == 0) return true;
    return false;
}

std::string CommandLineHelp() {
    return "使い方: vespen --db FILE.mdb [オプション] --out FILE.bas\n"
           "\n"
           "mdbファイルのテーブルからVB用標準モジュール（bas）を作成します。\n"
           "ウィンドウで「basの生成」「basの保存」を行ったときと同じ内容を書き込みます。\n"
           "引数を付けずに起動するとウィンドウが開きます（vespen FILE.mdb "
           "ではそのファイルを開いた状態で）。\n"
           "\n"
           "  --db FILE.mdb             読み込むmdbファイル（.mdb または .MDB）\n"
           "  --out FILE.bas            保存するbasファイル（あれば置き換えます）\n"
           "  --tables T1,T2,...        対象テーブル（省略時はすべて。順序はmdbの一覧順）\n"
           "  --record-prefix r         レコード定義の接頭語\n"
           "  --read-prefix Read_       読込用サブ名の接頭語（空にすると読込ルーチンなし）\n"
           "  --write-prefix Write_     書込用サブ名の接頭語（空にすると書込ルーチンなし）\n"
           "  --padding _               フィールド名空白部分へのパッディング\n"
           "  --workspace MYWS          WorkSpace名（空にすると宣言なし）\n"
           "  --database-prefix DB      Database名の接頭語（空にすると宣言なし）\n"
           "  --recordset-prefix RS     Recordset名の接頭語（空にすると宣言なし）\n"
           "  --help                    この説明\n"
           "  --version                 プログラム名と版を表示\n"
           "\n"
           "値は --name=値 とも書けます。空の値は \"\" で指定します。\n"
           "終了コード: 0 成功、1 mdbまたはbasの処理に失敗、2 引数の誤り。\n";
}

int RunCommandLine(engine::Workspace& ws, const std::vector<std::string>& args, std::ostream& out,
                   std::ostream& err) {
    Request request;
    try {
        request = Parse(args);
    } catch (const UsageError& e) {
        err << "vespen: " << e.what() << "\n詳しくは vespen --help をご覧ください。\n";
        return 2;
    }
    if (request.help) {
        out << CommandLineHelp();
        return 0;
    }
    if (request.version) {
        out << "Vespen " VESPEN_VERSION "\n";
        return 0;
    }
    if (!EndsInMdb(request.database)) {
        err << "vespen: .mdbファイルを選択して下さい: " << request.database << "\n";
        return 2;
    }
    try {
        // One open database serves both the table list and the scan.
        engine::DatabasePtr db = ws.OpenDatabase(request.database);
        std::vector<std::string> tables = ChooseTables(ListTables(*db), request.tables);
        if (tables.empty()) {
            err << "vespen: 該当するテーブルがありません。\n";
            return 1;
        }
        FieldTable rows = ScanTables(*db, tables);
        db->Close();
        ModuleText lines = BuildModuleText(rows, request.database, request.options);
        SaveModuleFile(request.out, lines);
    } catch (const std::exception& e) {
        if (const std::optional<engine::Error> engineError = engine::AsEngineError(e))
            err << "vespen: Error; " << engineError->Number() << " " << engineError->Description()
                << "\n";
        else
            err << "vespen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace vespen
