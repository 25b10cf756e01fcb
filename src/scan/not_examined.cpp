#include "scan/not_examined.h"

#include "scan/scan_session.h"

void watchNotExamined(NotExaminedObserver observer) {
  scanSession().notExaminedObserver = observer;
}

void noteNotExamined(const char* object, const char* reason, bool heldByAnotherProgram) {
  ScanSession& session = scanSession();
  if (heldByAnotherProgram) {
    ++session.statistics.heldByOtherPrograms;
  } else {
    ++session.statistics.notExamined;
  }
  if (session.notExaminedObserver != nullptr) session.notExaminedObserver(object, reason);
}
