# Python's email package as the judge of our MIME messages, in "key<TAB>hex of the UTF-8 value" lines:
# header fields ("h:" and the lower-case name), the text body, each attachment's name, type and bytes.
# read FILE: what a reader of today sees in FILE. write FOLDER: the cases below composed by Python
# itself, each as FOLDER/<case>.eml with what it holds as FOLDER/<case>.txt.
import email
import sys
from email import policy
from email.message import EmailMessage
from email.mime.application import MIMEApplication
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText


def describe(msg):
    lines = [("h:" + k.lower(), str(v)) for k, v in msg.items()]
    body = msg.get_body(preferencelist=("plain",))
    if body is not None:
        lines.append(("body", body.get_content().replace("\r\n", "\n")))
    for n, part in enumerate(msg.iter_attachments()):
        lines += [("att%d.name" % n, part.get_filename() or ""), ("att%d.type" % n, part.get_content_type()),
                  ("att%d.data" % n, part.get_payload(decode=True))]
    if msg.defects:
        lines.append(("defects", repr(msg.defects)))
    return "".join("%s\t%s\n" % (k, (v if isinstance(v, bytes) else v.encode()).hex()) for k, v in lines)


AUDIO = bytes((i * 7919 >> 3) & 0xFF for i in range(3000))


def cases():
    # Encoded words, a quoted-printable body, an attachment name in RFC 2231 form.
    m = EmailMessage()
    m["From"] = "Ann <ann@example.org>"
    m["Subject"] = "Diktat für Frau Müller – Röntgen"
    m["X-Tavrine-Name"] = "Brief an Jürgen"
    m.set_content("Grüße aus der Praxis\neine lange Zeile " + "ä" * 80 + "\n", cte="quoted-printable")
    m.add_attachment(AUDIO, maintype="application", subtype="octet-stream", filename="Diktat Müller 0042.dct")
    yield "encoded", m.as_bytes(policy=m.policy.clone(linesep="\r\n"))
    # ISO-8859-1 and UTF-8 encoded words by hand, as older mailers write them.
    yield "latin1", b"Subject: =?ISO-8859-1?Q?Caf=E9_cr=E8me?= =?UTF-8?B?w6TDtsO8?=\r\n\r\nplain body\n"
    # mixed(alternative(plain, html), attachment).
    outer, alt = MIMEMultipart("mixed"), MIMEMultipart("alternative")
    outer["Subject"] = "nested"
    alt.attach(MIMEText("the plain text\n", "plain", "utf-8"))
    alt.attach(MIMEText("<p>the html</p>", "html", "utf-8"))
    outer.attach(alt)
    att = MIMEApplication(AUDIO[:500], "octet-stream")
    att.add_header("Content-Disposition", "attachment", filename=("utf-8", "", "ß" * 40 + "-lang.wav"))
    outer.attach(att)
    yield "nested", outer.as_bytes(policy=outer.policy.clone(linesep="\r\n"))
    # A Latin-1 name in RFC 2231 pieces, which Python's composer never splits.
    yield "continued", (b"Subject: continued\r\nContent-Type: multipart/mixed; boundary=b1\r\n\r\n--b1\r\n"
                        b"Content-Type: text/plain\r\n\r\nfirst\r\n--b1\r\nContent-Type: audio/wav\r\n"
                        b"Content-Transfer-Encoding: base64\r\n"
                        b"Content-Disposition: attachment; filename*0*=iso-8859-1''Ann%E9e%20;\r\n"
                        b" filename*1=\"part two.wav\"\r\n\r\nUklGRg==\r\n--b1--\r\n")


if __name__ == "__main__":
    if sys.argv[1] == "read":
        with open(sys.argv[2], "rb") as f:
            sys.stdout.write(describe(email.message_from_bytes(f.read(), policy=policy.default)))
    else:
        for name, raw in cases():
            with open(sys.argv[2] + "/" + name + ".eml", "wb") as f:
                f.write(raw)
            with open(sys.argv[2] + "/" + name + ".txt", "w") as f:
                f.write(describe(email.message_from_bytes(raw, policy=policy.default)))
