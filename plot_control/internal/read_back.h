// Values asked of gnuplot; provided by read_back.cpp.
#ifndef PLOT_CONTROL_READ_BACK_H
#define PLOT_CONTROL_READ_BACK_H

#include "internal/reply_channel.h"

namespace plot_control {

// Asks gnuplot for a value, as the gets do: true with answer.value; false
// with gnuplot's message in answer.error, or with none and why in
// answer.outcome when gnuplot gave no answer (nothing said). An error from
// before waits for the next sync.
bool value_of(Handle &handle, const Asked &asked, int timeout_ms, Answer &answer);

} // namespace plot_control

#endif
