"""The control API over HTTP with the standard library: JSON in, JSON out, an error as an exception."""
import json
import urllib.error
import urllib.parse
import urllib.request


class ApiError(AssertionError):
    """A request the API refused; an AssertionError, so that an unexpected refusal fails the test."""

    def __init__(self, method, path, status, body):
        message = body.get("error") if isinstance(body, dict) else body
        super().__init__(f"{method} {path}: {status} {message}")
        self.status = status
        self.body = body


class Api:
    def __init__(self, base, token=None, timeout=15.0):
        self.base = base.rstrip("/")
        self.timeout = timeout
        self._headers = {"Authorization": f"Bearer {token}"} if token else {}

    def url(self, path, **query):
        query = {key: value for key, value in query.items() if value is not None}
        return self.base + path + ("?" + urllib.parse.urlencode(query) if query else "")

    def request(self, method, path, body=None):
        """(status, decoded JSON or text) for any answer, refusals included."""
        data = None if body is None else json.dumps(body).encode()
        headers = dict(self._headers)
        if data is not None:
            headers["Content-Type"] = "application/json"
        request = urllib.request.Request(self.url(path), data=data, method=method, headers=headers)
        try:
            with urllib.request.urlopen(request, timeout=self.timeout) as response:
                return response.status, _decode(response)
        except urllib.error.HTTPError as error:
            with error:
                return error.code, _decode(error)

    def call(self, method, path, body=None):
        """The answer of a request that must succeed; ApiError otherwise."""
        status, answer = self.request(method, path, body)
        if status >= 400:
            raise ApiError(method, path, status, answer)
        return answer

    def text(self, path):
        request = urllib.request.Request(self.url(path), headers=self._headers)
        with urllib.request.urlopen(request, timeout=self.timeout) as response:
            return response.read().decode()


def _decode(response):
    raw = response.read()
    if "json" in (response.headers.get("Content-Type") or ""):
        return json.loads(raw or b"null")
    return raw.decode(errors="replace")
