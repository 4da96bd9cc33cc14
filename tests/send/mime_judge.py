"""Python's email package as the judge of our MIME messages.

read FILE: parse FILE (policy.default) and print what a reader sees, one
"key<TAB>hex of the UTF-8 value" line each: header fields by lower-case
name, the text body and every attachment's name, type and bytes.
write FOLDER: compose the cases below with Python's own composer, each as
FOLDER/<case>.eml and what it holds as FOLDER/<case>.txt, in the same form.
"""
import email
import sys
from email import policy
from email.message import EmailMessage
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText
from email.mime.application import MIMEApplication


def describe(msg):
    lines = []
    for key, value in msg.items():
        lines.append(("h:" + key.lower(), str(value)))
    body = msg.get_body(preferencelist=("plain",))
    if body is not None:
        lines.append(("body", body.get_content().replace("\r\n", "\n")))
    for n, part in enumerate(msg.iter_attachments()):
        lines.append(("att%d.name" % n, part.get_filename() or ""))
        lines.append(("att%d.type" % n, part.get_content_type()))
        lines.append(("att%d.data" % n, part.get_payload(decode=True)))
    out = []
    for key, value in lines:
        data = value if isinstance(value, bytes) else value.encode("utf-8")
        out.append(key + "\t" + data.hex())
    return "\n".join(out) + "\n"


def read(path):
    with open(path, "rb") as f:
        msg = email.message_from_bytes(f.read(), policy=policy.default)
    sys.stdout.write(describe(msg))
    if msg.defects:
        sys.stdout.write("defects\t" + repr(msg.defects).encode().hex() + "\n")


AUDIO = bytes((i * 7919 >> 3) & 0xFF for i in range(3000))


def cases():
    # Encoded words (UTF-8 B, ISO-8859-1 Q), a quoted-printable body, an
    # attachment whose name needs RFC 2231.
    m = EmailMessage()
    m["From"] = "Ann <ann@example.org>"
    m["Subject"] = "Diktat für Frau Müller – Röntgen"
    m["X-Tavrine-Name"] = "Brief an Jürgen"
    m.set_content("Grüße aus der Praxis\nZeile zwei mit einer sehr langen Zeile " + "ä" * 80 + "\n",
                  cte="quoted-printable")
    m.add_attachment(AUDIO, maintype="application", subtype="octet-stream",
                     filename="Diktat Müller 0042.dct")
    yield "encoded", m

    # Latin-1 encoded words written by hand, as older mailers do.
    m = EmailMessage(policy=policy.compat32)
    m["Subject"] = "=?ISO-8859-1?Q?Caf=E9_cr=E8me?= =?UTF-8?B?w6TDtsO8?="
    m.set_payload("plain body\n")
    yield "latin1", m

    # Nested: mixed( alternative(plain, html), attachment with a long RFC 2231
    # name in continuations ).
    outer = MIMEMultipart("mixed")
    outer["Subject"] = "nested"
    alt = MIMEMultipart("alternative")
    alt.attach(MIMEText("the plain text\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>the html</p>", "html", "utf-8"))
    outer.attach(alt)
    att = MIMEApplication(AUDIO[:500], "octet-stream")
    att.add_header("Content-Disposition", "attachment",
                   filename=("utf-8", "", "ß" * 40 + "-lang.wav"))
    outer.attach(att)
    yield "nested", outer


# A name in RFC 2231 continuations with a Latin-1 charset, written by hand
# as Python's composer never splits one.
CONTINUED = (b"Subject: continued\r\nMIME-Version: 1.0\r\n"
             b"Content-Type: multipart/mixed; boundary=b1\r\n\r\n--b1\r\n"
             b"Content-Type: text/plain\r\n\r\nfirst\r\n--b1\r\n"
             b"Content-Type: audio/wav\r\nContent-Transfer-Encoding: base64\r\n"
             b"Content-Disposition: attachment; filename*0*=iso-8859-1''Ann%E9e%20;\r\n"
             b" filename*1=\"part two.wav\"\r\n\r\nUklGRg==\r\n--b1--\r\n")


def write(folder):
    for name, msg in list(cases()) + [("continued", email.message_from_bytes(CONTINUED, policy=policy.default))]:
        raw = CONTINUED if name == "continued" else msg.as_bytes(policy=msg.policy.clone(linesep="\r\n"))
        with open(folder + "/" + name + ".eml", "wb") as f:
            f.write(raw)
        parsed = email.message_from_bytes(raw, policy=policy.default)
        with open(folder + "/" + name + ".txt", "w") as f:
            f.write(describe(parsed))


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2])
    else:
        write(sys.argv[2])
