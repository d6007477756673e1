// What no command's run shows on its own: the command line's refusals and
// the values it takes, and JSON that stays one valid line whatever a text
// holds.
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Json.h"
#include "cli/Options.h"

using namespace cli;

namespace {

std::variant<TOptions, TPrint, TUsageError> Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "zov-q5r-cli");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(CommandLine, RefusesWhatNoCommandTakesAndReadsTheValues) {
  struct Case {
    std::vector<std::string> args;
    std::string refusal;  // "" when taken
  } cases[] = {
      {{}, "no command given"},
      {{"erase"}, "unknown command 'erase'"},
      {{"diff"}, "diff: the set file is missing"},
      {{"read", "x.q5r"}, "read: unexpected argument 'x.q5r'"},
      {{"read", "--each"}, "--each is not an option of read"},
      {{"clock", "-o", "f"}, "-o is not an option of clock"},
      {{"write", "f", "--count", "3"}, "--count is for write --each only"},
      {{"write", "f", "--each", "--count", "0"}, "--count: '0'"},
      {{"read", "--operator", "50"}, "--operator is for the service mode only"},
      {{"--servis", "read", "--operator", "255"}, "--operator: '255'"},
      {{"--servis", "monitor", "--clear"}, "--clear needs -o FILE"},
      {{"monitor", "--clear", "-o", "m.txt"}, "--clear is for the service mode only"},
      {{"--port", "COM17", "read"}, "--port: 'COM17'"},
      {{"--login-timeout", "0", "read"}, "--login-timeout: '0'"},
      {{"--login-timeout", "+5", "read"}, "--login-timeout: '+5'"},
      {{"read", "--frobnicate"}, "Unknown option 'frobnicate'."},
      // Options before and after the command, in either form.
      {{"--servis", "--operator=7", "monitor", "-o", "m.txt", "--clear", "--port=com3", "-q", "--yes"}, ""},
      {{"write", "f.q5r", "--each", "--count", "12", "--no-backup", "--force", "--login-timeout", "600"}, ""},
  };
  for (const Case& c : cases) {
    const auto parsed = Parse(c.args);
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    if (c.refusal.empty()) {
      EXPECT_TRUE(std::holds_alternative<TOptions>(parsed)) << line;
    } else if (const auto* usage = std::get_if<TUsageError>(&parsed)) {
      EXPECT_NE(usage->Why.find(c.refusal), std::string::npos) << line << ": " << usage->Why;
    } else {
      ADD_FAILURE() << line << ": taken";
    }
  }
  const TOptions m = std::get<TOptions>(Parse(cases[16].args));
  EXPECT_EQ(m.Command, TCommand::Monitor);
  EXPECT_EQ(m.OperatorCode, 7);
  EXPECT_EQ(m.Port, "COM3");
  EXPECT_EQ(m.Output, "m.txt");
  EXPECT_TRUE(m.Servis && m.Clear && m.Quiet && m.Yes);
  const TOptions w = std::get<TOptions>(Parse(cases[17].args));
  EXPECT_EQ(w.File, "f.q5r");
  EXPECT_EQ(w.Count, 12);
  EXPECT_EQ(w.LoginTimeoutS, 600);
  EXPECT_EQ(w.Port, "COM1");
  EXPECT_EQ(w.OperatorCode, 100);
  EXPECT_TRUE(w.Each && w.NoBackup && w.Force);
  EXPECT_TRUE(std::get<TPrint>(Parse({"read", "--help"})).Text.starts_with("Usage: zov-q5r-cli"));
  EXPECT_TRUE(std::get<TPrint>(Parse({"--version"})).Text.starts_with("zov-q5r-cli "));
}

TEST(Json, OneValidLineInTheOrderBuiltWhateverATextHolds) {
  TJson object = TJson::Object();
  object.Add("command", "read").Add("serial", TJson()).Add("count", -5).Add("damaged", true);
  object.Add("text", std::string("a\"b\\c\n\r\t\x01\x7F/é"));
  object.Add("broken", std::string("ok\xFF\xC3"));  // not UTF-8
  object.Add("list", TJson::Array({TJson(1), TJson::Object().Add("x", TJson::Number(std::nullopt))}));
  const std::string text = object.Text();
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_TRUE(text.starts_with(R"({"command":"read","serial":null,"count":-5,"damaged":true,"text":"a\"b\\c\n\r\t\u0001\u007f/é",)"))
      << text;
  QJsonParseError error{};
  const QJsonObject parsed = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error).object();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << text;
  EXPECT_EQ(parsed.value("text").toString(), QString::fromUtf8("a\"b\\c\n\r\t\x01\x7F/é"));
  EXPECT_EQ(parsed.value("broken").toString(), QStringLiteral("ok\uFFFD\uFFFD"));
  EXPECT_TRUE(parsed.value("list").toArray().at(1).toObject().value("x").isNull());
}
