"""GET /metrics parsed: with prometheus_client when it is installed, else by a reader of the same
shape for the plain text format."""
import collections

Family = collections.namedtuple("Family", "name type samples")
Sample = collections.namedtuple("Sample", "name labels value")

try:
    from prometheus_client.parser import text_string_to_metric_families
except ImportError:  # optional
    text_string_to_metric_families = None


def parse_metrics(text):
    if text_string_to_metric_families:
        return {family.name: family for family in text_string_to_metric_families(text)}
    return _parse(text)


def _parse(text):
    families = {}
    for line in text.splitlines():
        if line.startswith("# TYPE "):
            _, _, name, kind = line.split(" ", 3)
            if kind == "counter":
                name = name.removesuffix("_total")
            families[name] = Family(name, kind, [])
        elif line and not line.startswith("#"):
            sample = _sample(line)
            family = _family_of(sample.name, families)
            if family:
                family.samples.append(sample)
    return families


def _family_of(name, families):
    # Histograms and counters name their samples with a suffix, and prometheus_client names a
    # counter's family without "_total", as this does.
    for suffix in ("", "_total", "_bucket", "_sum", "_count", "_created"):
        base = name.removesuffix(suffix) if suffix else name
        if base in families:
            return families[base]
    return None


def _sample(line):
    name_part, value = line.rsplit(" ", 1)
    labels = {}
    if "{" in name_part:
        name, rest = name_part.split("{", 1)
        for pair in _split_labels(rest.rstrip("}")):
            key, quoted = pair.split("=", 1)
            labels[key] = quoted[1:-1].replace('\\"', '"').replace("\\n", "\n").replace("\\\\", "\\")
    else:
        name = name_part
    return Sample(name, labels, float(value))


def _split_labels(text):
    pairs, current, quoted, escaped = [], "", False, False
    for char in text:
        if char == "," and not quoted:
            pairs.append(current)
            current = ""
            continue
        current += char
        if escaped:
            escaped = False
        elif char == "\\":
            escaped = True
        elif char == '"':
            quoted = not quoted
    if current:
        pairs.append(current)
    return pairs
