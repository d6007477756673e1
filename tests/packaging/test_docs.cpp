// The manual pages and the bash completion, run by the real tools: every
// page renders with man without a warning; the set file's page and the
// guide give each field the range the set file reader applies; the
// command-line client's completion offers, for each line, what its page
// names, with and without the bash-completion package's helpers.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <ostream>
#include <set>
#include <string>

#include "ProgramInfo.h"
#include "receiver/ParamFile.h"
#include "receiver/ParamSet.h"

// Failures show texts as texts (gtest finds it beside QString).
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

struct TRun {
  int exitCode = -1;
  QString out, err;
};

// The program run to its end (the watchdog bounds it), with extra
// environment variables.
TRun Run(const QString& program, const QStringList& arguments, const QStringList& environment = {},
         const QString& folder = {}) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const QString& variable : environment) env.insert(variable.section('=', 0, 0), variable.section('=', 1));
  process.setProcessEnvironment(env);
  if (!folder.isEmpty()) process.setWorkingDirectory(folder);
  process.start(program, arguments);
  process.waitForFinished(-1);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString Read(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString PageSource(const QString& page) { return Read(QStringLiteral(ZOV_PACKAGING_DIR "/") + page + ".in"); }

// The page's text with its characters written as groff escapes ("\[u0159]")
// put back.
QString Unescaped(QString text) {
  static const QRegularExpression escape(QStringLiteral("\\\\\\[u([0-9A-F]{4})\\]"));
  for (auto match = escape.match(text); match.hasMatch(); match = escape.match(text, match.capturedStart()))
    text.replace(match.capturedStart(), match.capturedLength(), QChar(match.captured(1).toUShort(nullptr, 16)));
  return text;
}

// A page as man shows it on an 80-column UTF-8 terminal, and what man said
// on stderr.
TRun Rendered(const QString& page, const QTemporaryDir& dir) {
  const QString file = dir.filePath(page);
  QFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return {};
  out.write(PageSource(page).replace(QStringLiteral("@PROJECT_VERSION@"), QStringLiteral(ZOV_VERSION)).toUtf8());
  out.close();
  return Run(QStringLiteral("man"), {"--warnings=w", "-E", "UTF-8", "-l", file}, {"LC_ALL=C.UTF-8", "MANWIDTH=80"});
}

std::set<std::string> SetFileFields() {
  std::set<std::string> names;
  params::ForEachField([&](const std::string& name) {
    if (params::IsSetFileField(name)) names.insert(name);
  });
  return names;
}

// Whether a document's name list covers field: named alone ("P1, P2"), or
// inside a span "Adr1 ... Adr8" of the same letters.
bool Covers(const QStringList& names, const QString& field) {
  static const QRegularExpression split(QStringLiteral("^([A-Za-z]+)(\\d+)$"));
  if (names.contains(field)) return true;
  if (names.size() != 2) return false;
  const auto f = split.match(field), from = split.match(names[0]), to = split.match(names[1]);
  return f.hasMatch() && from.hasMatch() && to.hasMatch() && f.captured(1) == from.captured(1) &&
         f.captured(1) == to.captured(1) && f.captured(2).toInt() >= from.captured(2).toInt() &&
         f.captured(2).toInt() <= to.captured(2).toInt();
}

struct TFieldEntry {
  QStringList names;  // "Adr1", "Adr8" for a span
  QString text;       // where the range is written
};

// Every field gets exactly one entry, which names its range ("1 to 255" in
// English, "1 až 255" in Czech); every name an entry gives is a field.
void ExpectRangesOfTheReader(const QList<TFieldEntry>& entries, const QString& to, const char* document) {
  ASSERT_FALSE(entries.isEmpty()) << document;
  const std::set<std::string> fields = SetFileFields();
  for (const TFieldEntry& entry : entries)
    for (const QString& name : entry.names)
      EXPECT_TRUE(fields.count(name.toStdString())) << document << ": " << name.toStdString() << " is no field";
  for (const std::string& field : fields) {
    const QString name = QString::fromStdString(field);
    int covering = 0;
    for (const TFieldEntry& entry : entries) {
      if (!Covers(entry.names, name)) continue;
      ++covering;
      const params::TRange range = params::FieldRange(field);
      const QString expected = QStringLiteral("%1 %2 %3").arg(range.Min).arg(to).arg(range.Max);
      EXPECT_TRUE(entry.text.contains(expected)) << document << ": " << field << " should say " << expected.toStdString();
    }
    EXPECT_EQ(covering, 1) << document << ": " << field;
  }
}

}  // namespace

TEST(ManualPages, RenderWithoutAWarningAndNameTheVersion) {
  if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty()) GTEST_SKIP() << "no man";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QStringList pages = QStringLiteral(ZOV_MANPAGES).split('|', Qt::SkipEmptyParts);
  EXPECT_GE(pages.size(), 4);
  for (const QString& source : pages) {
    const QString page = QFileInfo(source).completeBaseName();  // zov-q5r.1
    const TRun man = Rendered(page, dir);
    EXPECT_EQ(man.exitCode, 0) << page.toStdString();
    EXPECT_EQ(man.err, QString()) << page.toStdString();
    EXPECT_TRUE(man.out.contains(QStringLiteral("zov-q5r " ZOV_VERSION))) << page.toStdString();
  }
}

TEST(SetFileDocuments, GiveEveryFieldTheRangeTheReaderApplies) {
  // The page: one ".TP" entry a field or span of fields, between "The
  // fields" and the next section.
  const QString page = PageSource(QStringLiteral("zov-q5r-sada.5"));
  const QString fields = page.section(QStringLiteral(".SS The fields\n"), 1).section(QStringLiteral("\n.PP\n"), 0, 0);
  QList<TFieldEntry> entries;
  for (const QString& chunk : fields.split(QStringLiteral(".TP\n"), Qt::SkipEmptyParts)) {
    const QString tag = chunk.section('\n', 0, 0);
    QStringList names = tag.section(' ', 1).remove('"').remove(',').remove(QStringLiteral("...")).split(' ', Qt::SkipEmptyParts);
    entries.append({names, chunk.section('\n', 1)});
  }
  ExpectRangesOfTheReader(entries, QStringLiteral("to"), "zov-q5r-sada(5)");
  const int count = static_cast<int>(SetFileFields().size());
  EXPECT_TRUE(page.contains(QStringLiteral("That is %1 lines").arg(count))) << count;
  const QString header = QString::fromUtf8(params::kSetFileHeader.data(), params::kSetFileHeader.size());
  EXPECT_TRUE(Unescaped(page).contains(header + QString::number(params::kSetFileVersion)));
  EXPECT_EQ(params::kSetFileMaxBytes, 65536u);
  EXPECT_TRUE(page.contains(QStringLiteral("64 KiB (65536 bytes)")));

  // The guide's table: "| `Adr1` … `Adr8` | label | 0 až 2097151 |".
  entries.clear();
  static const QRegularExpression row(QStringLiteral("^\\| (`[^|]*`) \\|[^|]*\\| ([^|]*) \\|$"),
                                      QRegularExpression::MultilineOption);
  static const QRegularExpression name(QStringLiteral("`([A-Za-z0-9]+)`"));
  for (auto it = row.globalMatch(Read(QStringLiteral(ZOV_GUIDE_SOURCE))); it.hasNext();) {
    const auto match = it.next();
    QStringList names;
    for (auto n = name.globalMatch(match.captured(1)); n.hasNext();) names << n.next().captured(1);
    entries.append({names, match.captured(2)});
  }
  ExpectRangesOfTheReader(entries, QStringLiteral("až"), "docs/navod.md");
}

namespace {

// Runs the completion for a command line with the cursor at its end, the
// words split as the shell splits them ("=" a word of its own), in folder;
// the offers, sorted.
QStringList Completions(const QString& line, bool withHelpers, const QString& folder) {
  static const char* const kDriver = R"(
    [ "$1" = yes ] && . /usr/share/bash-completion/bash_completion
    . "$2"
    line=$3
    read -ra COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *' ' || -z $line ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
    _zov_q5r_cli zov-q5r-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}"
  )";
  const TRun bash = Run(QStringLiteral("bash"),
                        {"-c", kDriver, "bash", withHelpers ? "yes" : "no",
                         ZOV_PACKAGING_DIR "/zov-q5r-cli.bash-completion", line},
                        {}, folder);
  EXPECT_EQ(bash.exitCode, 0) << line.toStdString() << ": " << bash.err.toStdString();
  QStringList offers = bash.out.split('\n', Qt::SkipEmptyParts);
  for (QString& offer : offers) offer.remove(QRegularExpression(QStringLiteral("/$")));
  offers.sort();
  return offers;
}

QStringList Words(const QString& words) {
  QStringList list = words.split(' ', Qt::SkipEmptyParts);
  list.sort();
  return list;
}

const QString kGlobal = QStringLiteral("--port --json --trace --servis --operator --login-timeout -q --yes --help --version");

QList<bool> HelperModes() {
  QList<bool> modes{false};
  if (QFile::exists(QStringLiteral("/usr/share/bash-completion/bash_completion"))) modes << true;
  return modes;
}

}  // namespace

TEST(CliCompletion, OffersWhatTheLineAllows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* file : {"sit-3.q5r", "b.txt", "c d.q5r"}) QFile(dir.filePath(file)).open(QIODevice::WriteOnly);
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("zalohy")));
  QString ports;
  for (int n = 1; n <= 16; ++n) ports += QStringLiteral("COM%1 ").arg(n);
  const QStringList setFiles{"sit-3.q5r", "c d.q5r", "zalohy"};
  const QStringList anyFiles = setFiles + QStringList{"b.txt"};
  struct Case {
    QString line;
    QStringList offers;
  };
  const Case cases[] = {
      {"zov-q5r-cli ", Words("ports read diff write clock monitor")},
      {"zov-q5r-cli --port COM2 w", {"write"}},
      {"zov-q5r-cli --port ", Words(ports)},
      {"zov-q5r-cli --port=", Words(ports)},
      {"zov-q5r-cli --port=COM1", Words("COM1 COM10 COM11 COM12 COM13 COM14 COM15 COM16")},
      // The command found after an option's value, in both of its forms.
      {"zov-q5r-cli --port COM2 write ", setFiles},
      {"zov-q5r-cli --port=COM2 diff ", setFiles},
      {"zov-q5r-cli write sit-3.q5r ", {}},
      {"zov-q5r-cli write sit-3.q5r --", Words("--each --count --no-backup --force " + kGlobal).filter("--")},
      {"zov-q5r-cli --json clock -", Words("--set-from-pc " + kGlobal)},
      {"zov-q5r-cli read -", Words("-o --force " + kGlobal)},
      {"zov-q5r-cli -", Words(kGlobal)},
      {"zov-q5r-cli monitor -o ", anyFiles},
      {"zov-q5r-cli --trace ", anyFiles},
      {"zov-q5r-cli write sit-3.q5r --each --count ", {}},
  };
  for (bool helpers : HelperModes())
    for (const Case& c : cases) {
      QStringList expected = c.offers;
      expected.sort();
      EXPECT_EQ(Completions(c.line, helpers, dir.path()), expected)
          << c.line.toStdString() << (helpers ? " (bash-completion)" : " (plain bash)");
    }
}

TEST(CliCompletion, OffersTheCommandsAndOptionsItsPageNames) {
  // The page's commands: the tags of COMMANDS; its options: every one
  // written in COMMANDS and OPTIONS.
  const QString page = PageSource(QStringLiteral("zov-q5r-cli.1"));
  const QString commands = page.section(QStringLiteral(".SH COMMANDS\n"), 1).section(QStringLiteral(".SH OPTIONS\n"), 0, 0);
  const QString options = page.section(QStringLiteral(".SH COMMANDS\n"), 1).section(QStringLiteral(".SH OUTPUT\n"), 0, 0);
  QStringList pageCommands, pageOptions;
  static const QRegularExpression tag(QStringLiteral("^\\.TP\\n\\.BI? ([a-z]+)"), QRegularExpression::MultilineOption);
  for (auto it = tag.globalMatch(commands); it.hasNext();) pageCommands << it.next().captured(1);
  static const QRegularExpression option(QStringLiteral("(?:^\\.B[IR]? |[ (])(\\\\-(?:\\\\-)?[a-z](?:[a-z]|\\\\-)*)"),
                                         QRegularExpression::MultilineOption);
  for (auto it = option.globalMatch(options); it.hasNext();) {
    const QString name = it.next().captured(1).remove('\\');
    if (!pageOptions.contains(name)) pageOptions << name;
  }
  pageOptions.removeAll(QStringLiteral("-h"));  // --help's short form, not offered
  pageCommands.sort();
  pageOptions.sort();

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (bool helpers : HelperModes()) {
    QStringList offered = Completions(QStringLiteral("zov-q5r-cli "), helpers, dir.path());
    EXPECT_EQ(offered, pageCommands);
    QStringList offeredOptions;
    for (const QString& command : QStringList{""} + offered)
      for (const QString& o : Completions("zov-q5r-cli " + command + (command.isEmpty() ? "-" : " -"), helpers, dir.path()))
        if (!offeredOptions.contains(o)) offeredOptions << o;
    offeredOptions.sort();
    EXPECT_EQ(offeredOptions, pageOptions) << (helpers ? "(bash-completion)" : "(plain bash)");
  }
}
