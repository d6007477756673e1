// read and diff: the receiver's set as a set file, and against one.
#include <QDateTime>
#include <QDir>
#include <QString>

#include "cli/Commands.h"
#include "cli/Connection.h"
#include "cli/ExitStatus.h"
#include "cli/Json.h"
#include "cli/Output.h"
#include "files/Files.h"
#include "receiver/ParamFile.h"
#include "receiver/SetCompare.h"
#include "receiver/SetWrite.h"

namespace cli {

std::optional<params::TReadOut> ReadReceiverSet(TConnection& connection, int* status) {
  TOutput& out = connection.Out();
  out.Info("Čtení parametrů…");
  std::optional<params::TReadOut> readOut = params::ReadSet();
  if (!readOut) {
    out.Error(params::kNoAnswer);
    *status = kNoAnswer;
    return std::nullopt;
  }
  if (!readOut->WellFormed) {
    if (!connection.Options().Force) {
      out.Error(std::string(params::kDamagedReadBack) + " (rušení na lince?): nic se nezapsalo, příkaz zopakujte");
      if (out.Json()) out.JsonLine(connection.ResultObject("damaged"));
      *status = kDamaged;
      return std::nullopt;
    }
    out.Error(std::string(params::kDamagedReadBack) + " – pokračuje se (--force)");
  }
  return readOut;
}

int RunRead(TConnection& connection) {
  TOutput& out = connection.Out();
  const TOptions& options = connection.Options();
  int status = kDone;
  const std::optional<params::TReadOut> readOut = ReadReceiverSet(connection, &status);
  if (!readOut) return status;
  const params::TValues values = params::ValuesOfReadOut(readOut->Image);
  // What a set file cannot hold would make a file that cannot be opened:
  // refused as "Uložit sadu…" refuses it.
  if (const std::optional<params::TRefusal> refusal = params::CheckForSetFile(values)) {
    int value = 0;
    params::TValues copy = values;
    params::ForEachField(
        [&](const std::string& name, int& v) {
          if (name == refusal->Field) value = v;
        },
        copy);
    const params::TRange range = params::FieldRange(refusal->Field);
    out.Error(params::FieldLabel(refusal->Field) + " (" + refusal->Field + "): " + refusal->Message + " – přijímač drží " +
              std::to_string(value) + ", sada bere " + std::to_string(range.Min) + " až " + std::to_string(range.Max) +
              "; sada nebyla uložena");
    return kNotDone;
  }
  const bool damaged = !readOut->WellFormed;
  const std::string text =
      params::SetFileOf(values, readOut->Image, damaged,
                        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString());
  if (!options.Output.empty()) {
    const QString fileName = QString::fromLocal8Bit(options.Output.c_str());
    std::string why;
    if (!files::SaveWholeFile(fileName, text, &why)) {
      out.Error("Sadu parametrů nelze uložit do souboru " + options.Output + ": " + why);
      return kNotDone;
    }
    out.Info("Sada uložena do " + options.Output);
  }
  if (out.Json()) {
    TJson set = TJson::Object();
    params::TValues fields = values;
    params::ForEachField(
        [&](const std::string& name, int& v) {
          if (params::IsSetFileField(name)) set.Add(name, v);
        },
        fields);
    TJson object = connection.ResultObject("ok");
    object.Add("set", set).Add("damaged", damaged);
    if (!options.Output.empty()) object.Add("file", options.Output);
    out.JsonLine(object);
  } else if (options.Output.empty()) {
    out.Data(text);
  }
  return kDone;
}

int RunDiff(TConnection& connection, const params::TValues& file) {
  TOutput& out = connection.Out();
  int status = kDone;
  const std::optional<params::TReadOut> readOut = ReadReceiverSet(connection, &status);
  if (!readOut) return status;
  const std::vector<params::TFieldDifference> differences = params::SetFileDifferences(file, readOut->Image);
  if (out.Json()) {
    TJson object = connection.ResultObject(differences.empty() ? "same" : "different");
    if (!differences.empty()) {
      TJson list = TJson::Array();
      for (const params::TFieldDifference& d : differences)
        list.Push(TJson::Object()
                      .Add("field", d.Field)
                      .Add("label", d.Label)
                      .Add("file", StrToIntPrefix(d.Value))
                      .Add("receiver", StrToIntPrefix(d.Held)));
      object.Add("differences", list);
    }
    out.JsonLine(object);
  } else {
    std::string text;
    for (const params::TFieldDifference& d : differences)
      text += d.Field + "  " + d.Label + "  soubor " + d.Value + "  přijímač " + d.Held + "\n";
    out.Data(text);
  }
  out.Info(differences.empty()
               ? std::string("Přijímač drží sadu ze souboru")
               : "Počet polí, ve kterých se přijímač liší od souboru: " + std::to_string(differences.size()));
  return differences.empty() ? kDone : kNotDone;
}

}  // namespace cli
