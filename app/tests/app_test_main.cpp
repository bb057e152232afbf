// The desktop application's tests, run offscreen (QT_QPA_PLATFORM=offscreen) by ctest.
#include <QApplication>

int runEventTableModelTests(int argc, char** argv);
int runEditorDocumentTests(int argc, char** argv);

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int failures = 0;
  failures += runEventTableModelTests(argc, argv);
  failures += runEditorDocumentTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
