#pragma once

#include <cstdint>

#include "interaction.h"

class TBackupThread;

// What a controller answers to a question sent by a backup thread (WM_DRIVEFULL ...
// WM_INVALIDVOLUME): asks the user through the interaction interface and carries the
// answer out on the thread's drive and profile copy (erase, relabel, format, new series)
// while the thread waits. Returns the answer the thread reads; 2 stops the run.
intptr_t AnswerBackupQuestion(uint32_t message, TBackupThread& thread);

// Carries out a choice of the diskette request on the thread's drive and profile.
void CarryOutDisketteChoice(int choice, TBackupThread& thread);
