#!/usr/bin/env python3
"""Write a reproducible tree of office documents and PDFs for bench/documents.sh.

    bench/make_documents.py TARGET [--count N] [--seed N] [--force]

N documents (default 2,000) in 20 folders, the kinds in turn: docx, xlsx, pptx,
odt, ods, odp, pdf (PDFs twice as often as each other kind). Each holds 40 to 400
lines of Japanese and English words; one document in ten holds the word 見積書
once, somewhere in its text. PDFs use a CID font through the UniJIS-UCS2-H CMap
(no font embedded), as many Japanese PDFs do. Standard library only.
"""

import argparse
import os
import random
import shutil
import sys
import zipfile

WORDS_JA = ("会議 議事録 予定 報告 資料 担当 確認 進捗 契約 請求 納品 仕様 設計 試験 品質 "
            "営業 売上 予算 計画 顧客 案件 連絡 東京 大阪 本社 支店 部長 課長 来週 今月").split()
WORDS_EN = ("meeting minutes schedule report budget sales contract invoice delivery design "
            "quality review project customer office branch manager weekly monthly total").split()
NEEDLE = "見積書"
W_NS = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
S_NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
P_NS = "http://schemas.openxmlformats.org/presentationml/2006/main"
A_NS = "http://schemas.openxmlformats.org/drawingml/2006/main"
OOXML = "application/vnd.openxmlformats-officedocument."


def esc(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def lines_for(rng, needle):
    n = rng.randint(40, 400)
    out = []
    for _ in range(n):
        words = [rng.choice(WORDS_JA if rng.random() < 0.6 else WORDS_EN) for _ in range(rng.randint(3, 12))]
        out.append(" ".join(words))
    if needle:
        i = rng.randrange(n)
        out[i] = out[i] + " " + NEEDLE
    return out


def content_types(overrides):
    body = "".join('<Override PartName="/%s" ContentType="%s"/>' % o for o in overrides)
    return ('<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/'
            'content-types"><Default Extension="xml" ContentType="application/xml"/>' + body + "</Types>")


def docx(lines):
    body = "".join("<w:p><w:r><w:t>%s</w:t></w:r></w:p>" % esc(l) for l in lines)
    return {"[Content_Types].xml": content_types([("word/document.xml", OOXML + "wordprocessingml.document.main+xml")]),
            "word/document.xml": '<?xml version="1.0"?><w:document xmlns:w="%s"><w:body>%s</w:body></w:document>'
                                 % (W_NS, body)}


def xlsx(lines):
    sst = "".join("<si><t>%s</t></si>" % esc(l) for l in lines)
    cells = "".join('<row r="%d"><c r="A%d" t="s"><v>%d</v></c><c r="B%d"><v>%d</v></c></row>'
                    % (i + 1, i + 1, i, i + 1, i * 100) for i in range(len(lines)))
    return {"[Content_Types].xml": content_types([
                ("xl/workbook.xml", OOXML + "spreadsheetml.sheet.main+xml"),
                ("xl/sharedStrings.xml", OOXML + "spreadsheetml.sharedStrings+xml"),
                ("xl/worksheets/sheet1.xml", OOXML + "spreadsheetml.worksheet+xml")]),
            "xl/workbook.xml": '<?xml version="1.0"?><workbook xmlns="%s"/>' % S_NS,
            "xl/sharedStrings.xml": '<?xml version="1.0"?><sst xmlns="%s">%s</sst>' % (S_NS, sst),
            "xl/worksheets/sheet1.xml": '<?xml version="1.0"?><worksheet xmlns="%s"><sheetData>%s</sheetData>'
                                        '</worksheet>' % (S_NS, cells)}


def pptx(lines):
    parts = {}
    overrides = [("ppt/presentation.xml", OOXML + "presentationml.presentation.main+xml")]
    parts["ppt/presentation.xml"] = '<?xml version="1.0"?><p:presentation xmlns:p="%s"/>' % P_NS
    per = 10
    for s in range(0, len(lines), per):
        name = "ppt/slides/slide%d.xml" % (s // per + 1)
        overrides.append((name, OOXML + "presentationml.slide+xml"))
        paras = "".join("<a:p><a:r><a:t>%s</a:t></a:r></a:p>" % esc(l) for l in lines[s:s + per])
        parts[name] = ('<?xml version="1.0"?><p:sld xmlns:p="%s" xmlns:a="%s"><p:cSld><p:spTree><p:sp><p:txBody>'
                       '%s</p:txBody></p:sp></p:spTree></p:cSld></p:sld>' % (P_NS, A_NS, paras))
    parts["[Content_Types].xml"] = content_types(overrides)
    return parts


ODF_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"')


def odf(kind, lines):
    paras = "".join("<text:p>%s</text:p>" % esc(l) for l in lines)
    if kind == "spreadsheet":
        body = "<office:spreadsheet><table:table>%s</table:table></office:spreadsheet>" % "".join(
            "<table:table-row><table:table-cell><text:p>%s</text:p></table:table-cell></table:table-row>" % esc(l)
            for l in lines)
    elif kind == "presentation":
        body = ("<office:presentation><draw:page><draw:frame><draw:text-box>%s</draw:text-box></draw:frame>"
                "</draw:page></office:presentation>" % paras)
    else:
        body = "<office:text>%s</office:text>" % paras
    mime = "application/vnd.oasis.opendocument." + kind
    return {"mimetype": mime,
            "content.xml": '<?xml version="1.0"?><office:document-content %s><office:body>%s</office:body>'
                           '</office:document-content>' % (ODF_NS, body),
            "META-INF/manifest.xml": '<?xml version="1.0"?><manifest:manifest xmlns:manifest="urn:oasis:names:tc:'
                                     'opendocument:xmlns:manifest:1.0"><manifest:file-entry manifest:full-path="/" '
                                     'manifest:media-type="%s"/></manifest:manifest>' % mime}


def pdf(lines):
    per = 40
    pages = [lines[i:i + per] for i in range(0, len(lines), per)]
    objs = ["<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [%s] /Count %d >>" % (" ".join("%d 0 R" % (6 + 2 * i) for i in range(len(pages))),
                                                          len(pages)),
            "<< /Type /Font /Subtype /Type0 /BaseFont /HeiseiKakuGo-W5-UniJIS-UCS2-H /Encoding /UniJIS-UCS2-H "
            "/DescendantFonts [4 0 R] >>",
            "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /HeiseiKakuGo-W5 /CIDSystemInfo << /Registry (Adobe) "
            "/Ordering (Japan1) /Supplement 2 >> /FontDescriptor 5 0 R /DW 1000 /W [1 95 500] >>",
            "<< /Type /FontDescriptor /FontName /HeiseiKakuGo-W5 /Flags 4 /FontBBox [-92 -250 1010 922] "
            "/ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 737 /StemV 69 >>"]
    for i, page in enumerate(pages):
        content = "".join("BT /F1 10 Tf 30 %d Td <%s> Tj ET\n" % (800 - 19 * k, l.encode("utf-16-be").hex().upper())
                          for k, l in enumerate(page))
        objs.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 3 0 R >> >> "
                    "/Contents %d 0 R >>" % (7 + 2 * i))
        data = content.encode("latin-1")
        objs.append(b"<< /Length %d >>\nstream\n" % len(data) + data + b"\nendstream")
    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for n, o in enumerate(objs, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % n + (o if isinstance(o, bytes) else o.encode("latin-1")) + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref)
    return bytes(out)


def write_zip(path, parts):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(zipfile.ZipInfo(name, (2024, 3, 1, 12, 0, 0)),
                       data, zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED)


KINDS = ["docx", "xlsx", "pptx", "odt", "ods", "odp", "pdf", "pdf"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("target")
    ap.add_argument("--count", type=int, default=2000)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--force", action="store_true")
    a = ap.parse_args()
    stamp = os.path.join(a.target, ".documents-stamp")
    want = "count=%d seed=%d\n" % (a.count, a.seed)
    if os.path.exists(stamp) and open(stamp).read() == want and not a.force:
        return 0
    shutil.rmtree(a.target, ignore_errors=True)
    rng = random.Random(a.seed)
    needles = 0
    for i in range(a.count):
        folder = os.path.join(a.target, "folder%02d" % (i % 20))
        os.makedirs(folder, exist_ok=True)
        kind = KINDS[i % len(KINDS)]
        needle = i % 10 == 3
        needles += needle
        lines = lines_for(rng, needle)
        path = os.path.join(folder, "doc%04d.%s" % (i, kind))
        if kind == "pdf":
            open(path, "wb").write(pdf(lines))
        elif kind in ("docx", "xlsx", "pptx"):
            write_zip(path, {"docx": docx, "xlsx": xlsx, "pptx": pptx}[kind](lines))
        else:
            write_zip(path, odf({"odt": "text", "ods": "spreadsheet", "odp": "presentation"}[kind], lines))
    open(stamp, "w").write(want)
    print("%d documents, %d with %s, in %s" % (a.count, needles, NEEDLE, a.target), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
