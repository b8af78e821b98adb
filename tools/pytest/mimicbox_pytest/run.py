"""How a plant's run ended: its exit status, summary and verdicts, and whether that fails a test."""
import dataclasses
import json

# mimicbox-cli's exit statuses.
EXIT_OK, EXIT_DEVICE_FAILED, EXIT_USAGE, EXIT_EXPECTATION_FAILED = 0, 1, 2, 3


@dataclasses.dataclass
class RunResult:
    exit_status: int
    summary: dict  # the --summary-json document; {} when the run wrote none
    output: str    # the tail of what mimicbox-cli printed

    @property
    def verdicts(self):
        """One dict per device and expectation: device, expectation, passed, detail."""
        return self.summary.get("expectations", [])

    @property
    def failed_verdicts(self):
        return [verdict for verdict in self.verdicts if not verdict["passed"]]

    def failure(self):
        """Why this run fails the test, or None when it does not."""
        if self.exit_status == EXIT_OK:
            return None
        if self.exit_status == EXIT_EXPECTATION_FAILED and self.failed_verdicts:
            lines = [f"expect {v['device']} {v['expectation']}: FAILED ({v['detail']})" for v in self.failed_verdicts]
            return "an expectation of the run did not hold:\n  " + "\n  ".join(lines)
        if self.exit_status == EXIT_DEVICE_FAILED:
            reason = "a device could not connect, or lost its connection without --reconnect"
        elif self.exit_status == EXIT_USAGE:
            reason = "mimicbox-cli refused its command line or scenario"
        elif self.exit_status < 0:
            reason = f"mimicbox-cli was killed by signal {-self.exit_status}"
        else:
            reason = f"mimicbox-cli exited with status {self.exit_status}"
        return f"{reason}; its last output:\n{self.output}"


def read_summary(path):
    try:
        with open(path, encoding="utf-8") as file:
            return json.load(file)
    except (OSError, ValueError):
        return {}
