// The desktop application's tests, run offscreen (QT_QPA_PLATFORM=offscreen) by ctest.
#include <QApplication>

#include "playback/midi_filter.h"
#include "recording_output.h"
#include "transport/transport_bar.h"

int runEventTableModelTests(int argc, char** argv);
int runEditorDocumentTests(int argc, char** argv);
int runLyricsEncodingTests(int argc, char** argv);
int runTransportTests(int argc, char** argv);
int runBatchSheetsTests(int argc, char** argv);
int runBatchRunTests(int argc, char** argv);
int runSettingsWindowsTests(int argc, char** argv);
int runBrowserModelTests(int argc, char** argv);
int runShellTests(int argc, char** argv);

std::shared_ptr<apptest::RecordingOutput> apptest::recording() {
  static auto output = std::make_shared<RecordingOutput>();
  return output;
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Every transport plays into the recording output: no sound device, no sequencer.
  swapp::TransportBar::setSharedOutput(std::make_shared<sw::MIDIFilter>(nullptr, 0, apptest::recording()));
  int failures = 0;
  failures += runEventTableModelTests(argc, argv);
  failures += runEditorDocumentTests(argc, argv);
  failures += runLyricsEncodingTests(argc, argv);
  failures += runTransportTests(argc, argv);
  failures += runBatchSheetsTests(argc, argv);
  failures += runBatchRunTests(argc, argv);
  failures += runSettingsWindowsTests(argc, argv);
  failures += runBrowserModelTests(argc, argv);
  failures += runShellTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
