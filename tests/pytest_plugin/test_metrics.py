"""The reader of GET /metrics used without prometheus_client gives what prometheus_client gives."""
import pytest

from mimicbox_pytest import metrics

TEXT = """# HELP mimicbox_reports_sent_total Reports sent.
# TYPE mimicbox_reports_sent_total counter
mimicbox_reports_sent_total{model="thermo"} 12
mimicbox_reports_sent_total{model="relay"} 3
# TYPE mimicbox_connected_devices gauge
mimicbox_connected_devices 2
# TYPE mimicbox_report_lateness_seconds histogram
mimicbox_report_lateness_seconds_bucket{le="0.001",model="a,\\"b\\""} 4
mimicbox_report_lateness_seconds_bucket{le="+Inf",model="a,\\"b\\""} 5
mimicbox_report_lateness_seconds_sum 0.25
mimicbox_report_lateness_seconds_count 5
"""


def shape(families):
    return {name: (family.type, sorted((s.name, tuple(sorted(s.labels.items())), s.value) for s in family.samples))
            for name, family in families.items()}


def test_the_fallback_reads_families_labels_and_values_as_prometheus_client_does():
    parser = pytest.importorskip("prometheus_client.parser")
    expected = {family.name: family for family in parser.text_string_to_metric_families(TEXT)}
    assert shape(metrics._parse(TEXT)) == shape(expected)
    assert metrics._parse(TEXT)["mimicbox_report_lateness_seconds"].samples[0].labels["model"] == 'a,"b"'
