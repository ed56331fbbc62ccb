// What a client knows of each command's arguments: the columns they stand in and how the
// server reads them. A command answers nothing, and one whose argument does not parse is
// dropped with nothing but a line in the server's log, so the probe, tavelor-web and
// tavelor-mqtt check the arguments the way the server will before they send anything.
#pragma once

#include <string>

#include "core/request_codes.h"

namespace tavelor::client {

// "columns 9-10 and 12-13": where the argument stands, in the client's columns (the server's
// positions plus two).
std::string ColumnsText(const ArgumentColumns& argument);

// "" when every argument of the command in `requestText` (without the two leading characters)
// would parse, or when its code is none of the commands; else which columns fail and why, with
// the line the server would log.
std::string ArgumentProblem(const std::string& requestText);

}  // namespace tavelor::client
