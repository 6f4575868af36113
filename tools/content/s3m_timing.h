// Works out when each order of an S3M module description starts and how
// long the song plays, following speed (A), tempo (T), position jumps (B),
// pattern breaks (C), pattern loops (SB) and pattern delays (SE) the way
// Scream Tracker 3 does. The generator uses it to place the music's
// sections on the demo's schedule.
#pragma once

#include <vector>

#include "content/s3m_writer.h"

struct S3mTiming {
  double total_seconds = 0;                 // until the song ends or jumps back
  std::vector<double> order_start_seconds;  // first start of each order, -1 if never played
  int rows_played = 0;
};

// Plays the module silently; stops at the end of the order list, at the
// first jump to an order already played, or after a safety bound of rows.
S3mTiming TimeS3m(const S3mModule& module);
