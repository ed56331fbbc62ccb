#include "probe/probe_options.h"

#include "cli/command_line.h"
#include "core/request_codes.h"

namespace tavelor::probe {

int ParseProbeOptions(const std::vector<std::string>& args, ProbeOptions* options,
                      std::ostream& out, std::ostream& err) {
  ProbeOptions& o = *options;
  // No -h: a request's words are taken as they come.
  cli::CommandLine line(
      "tavelor-probe",
      "Sends one request to a TavelorServer and shows its answer: a panel reply as named\n"
      "fields, a version text, or that a command was sent (commands answer nothing). A command\n"
      "whose arguments the server could not read is not sent. With --schema: every panel\n"
      "reply's fields, and no request.",
      "--help");
  std::vector<std::string> words;
  line.App()
      .add_option("REQUEST", words,
                  "the request without the two leading characters every request starts with;\n"
                  "the probe puts them in front (\"xxRADI\" as in the README's examples is taken\n"
                  "as well). Several words are joined with single blanks:\n"
                  "tavelor-probe COM1 118.50 121.50")
      ->type_name("");
  line.Text("--host", "H", &o.host, "an address", "server address (default 127.0.0.1)");
  line.Port("--port", "N", &o.port, 1, "server port (default 9696)");
  line.Real("--watch", "HZ", &o.watchHz, 0.01, 100, "a rate from 0.01 to 100 polls a second",
            "poll a panel reply HZ times a second and mark the fields that changed");
  const CLI::Option* count =
      line.Whole("--count", "N", &o.count, 1, 1000000000, "a whole number of polls from 1",
                 "with --watch: stop after N polls");
  line.Flag("--raw", &o.raw, "print the answer's bytes exactly as they came");
  line.Flag("--json", &o.json,
            "print a panel reply as named values in JSON, numbers in the units\n"
            "--schema gives (with --watch: one line per poll)");
  line.Flag("--schema", &o.schema,
            "print every panel reply's fields in JSON (number, name, label, unit,\n"
            "width, whether the text is a number, meaning, encoding) and exit");
  line.Real("--timeout", "S", &o.timeoutSeconds, 0.1, 3600, "a number of seconds from 0.1 to 3600",
            "seconds to wait for an answer (default 5)");
  line.App().footer(
      "Exit status: 0 done; 1 nothing listens, the connection failed, the answer was cut or\n"
      "missing, the server does not know the code, or with --json a numeric field's text is no\n"
      "number (it is null and listed in \"unreadable\"); 2 bad options, or a command whose\n"
      "arguments would not parse (not sent).");
  if (const int status = line.Parse(args, out, err); status >= 0) return status;

  if (o.schema) return words.empty() ? -1 : line.Refuse("--schema takes no request", err);
  if (words.empty()) return line.Refuse("no request given (for example: tavelor-probe RADI)", err);
  for (const std::string& word : words) o.request += (o.request.empty() ? "" : " ") + word;
  if (count->count() > 0 && o.watchHz == 0) return line.Refuse("--count goes with --watch", err);
  if (o.json && o.raw) return line.Refuse("--json and --raw do not go together", err);
  const RequestCode* code = MatchRequestCode(TypedRequestText(o.request));
  const bool reply = code && code->kind == CodeKind::kReply;
  if (o.watchHz > 0 && !reply) {
    return line.Refuse(
        "--watch polls a panel reply (RADI, HSI, PFD, ...); '" + o.request + "' is not one", err);
  }
  if (o.json && !reply) {
    return line.Refuse(
        "--json shows a panel reply (RADI, HSI, PFD, ...); '" + o.request + "' is not one", err);
  }
  return -1;
}

}  // namespace tavelor::probe
