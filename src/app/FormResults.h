#pragma once

#include <QByteArray>

class MEnvVar;

// The values a form leaves behind, for the script that started it: one
// NAME='value' line per bound variable in store order, quoted exactly as command
// scripts set them (so eval reads back every byte), kiv's own KIV_MY_PID and
// names that are not shell names left out. A name bound twice comes twice; the
// later line wins, as in the commands.
QByteArray valueAssignments(const MEnvVar &store);
