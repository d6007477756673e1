// Makes the operators' guide's HTML from its Markdown at build time, with
// Qt's own Markdown reader, the one the program's windows are built on:
//   zov_make_guide navod.md navod.html
// The pictures stay files beside the HTML (img/...), as the Markdown names
// them. Needs no display.
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdio>

namespace {

int Fail(const char* what, const QString& path, const QString& why) {
  std::fprintf(stderr, "zov_make_guide: cannot %s %s: %s\n", what, path.toLocal8Bit().constData(),
               why.toLocal8Bit().constData());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: zov_make_guide GUIDE.md GUIDE.html\n");
    return 2;
  }
  // The Markdown reader sets code in the platform's fixed-pitch font, so it
  // needs a platform: the offscreen one, with a runtime folder of its own
  // (a build has none).
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  QGuiApplication app(argc, argv);
  const QString inName = QString::fromLocal8Bit(argv[1]);
  const QString outName = QString::fromLocal8Bit(argv[2]);

  QFile in(inName);
  if (!in.open(QIODevice::ReadOnly)) return Fail("read", inName, in.errorString());
  const QString markdown = QString::fromUtf8(in.readAll());

  QTextDocument guide;
  // A font named here rather than the machine's default, so that the same
  // guide makes the same HTML on every machine.
  guide.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 11));
  guide.setMarkdown(markdown);
  // The first line, "# ...", is the guide's title.
  QString title = markdown.section(QLatin1Char('\n'), 0, 0);
  if (title.startsWith(QLatin1String("# "))) guide.setMetaInformation(QTextDocument::DocumentTitle, title.mid(2));

  QSaveFile out(outName);
  if (!out.open(QIODevice::WriteOnly)) return Fail("write", outName, out.errorString());
  out.write(guide.toHtml().toUtf8());
  if (!out.commit()) return Fail("write", outName, out.errorString());
  return 0;
}
