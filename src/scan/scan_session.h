// The one process-wide record that every part of a scan shares: fixed texts, the scan target,
// the scanning window, the line and status buffers, the current finding and the flags through
// which the memory scan, the walker, the worm check and the driver coordinate.
#pragma once

#include <cstdint>

#include "platform/file_system.h"
#include "platform/types.h"
#include "system/reinfection_verdict.h"

// Messages by which every part writes to the scanning window. Their numbers are those of
// WM_ENABLE and WM_SETREDRAW; the scanning window maps both to its own handlers.
constexpr std::uint32_t WM_SCAN_STATUS = 10;
constexpr std::uint32_t WM_SCAN_APPENDLOG = 11;

constexpr int kRemedyDelete = 100;

struct ScanStatistics {
  int filesScanned = 0;
  int filesInfected = 0;
  int filesDeleted = 0;
  // Objects of the scope the walk met and could not examine, and files it could not examine
  // because another program held them open without sharing.
  int notExamined = 0;
  int heldByOtherPrograms = 0;
};

struct ScanSession {
  // Fixed texts, never written.
  char appCaption[platform::kMaxPath] = "Vandrel Ver 4.0";
  char mainCaption[platform::kMaxPath] = "Vandrel Ver 4.0";
  char virusFamilyName[platform::kMaxPath] = "W32/Blaster.Worm";
  char productShortName[platform::kMaxPath] = "Vandrel";

  char scanTarget[platform::kMaxPath] = "";
  platform::WindowHandle scanDialogWindow = 0;
  char logLine[platform::kMaxLogLine] = "";
  char statusText[platform::kPathBytes] = "";
  char currentVirusName[platform::kMaxPath] = "";
  int remedyCode = 0;

  std::uint8_t logFinal = 0;
  std::uint8_t scanTerminated = 0;
  std::uint8_t inMemoryScan = 1;
  std::uint8_t wormFileConfirmed = 0;
  int memoryRemedyCode = 0;
  int restartRequired = 0;

  char programFilesPath[platform::kMaxPath] = "";
  int programFilesPending = 0;
  int programFilesWalked = 0;

  // Owned by the memory scan.
  int memoryScanPlatform = 0;
  int memoryRestartRequired = 0;

  // While the memory scan examines a process's image on the NT family: the identity of the file
  // the process's image section maps. A file at the image's path that is another file is not the
  // process's image, and is neither identified nor removed as it.
  std::uint8_t scannedImageKnown = 0;
  platform::FileIdentity scannedImage;

  // Who is told of each object of the scope that is not examined (null: nobody).
  void (*notExaminedObserver)(const char* object, const char* reason) = nullptr;
  // A system shutdown was counting down when the program started, and it was aborted: the RPC
  // service that failed stays down until the machine restarts.
  std::uint8_t shutdownAborted = 0;

  // Set while runScan runs: a scan never starts inside another.
  std::uint8_t scanRunning = 0;

  ScanStatistics statistics;

  // Whether the worm can come back, judged after the statistics.
  ReinfectionVerdict reinfection;
};

// The record lives for the whole process; one program run performs one scan.
ScanSession& scanSession();

// Tests only: puts the record back into its state at program start.
void resetScanSessionForTest();

// Records a finding: its virus name and its object (a path, or "System Memory"), and selects
// deletion as its remedy. Nothing is sent: the status line shows the object at its next refresh.
void setCurrentFinding(const char* virusName, const char* objectText);
