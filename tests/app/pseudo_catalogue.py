#!/usr/bin/env python3
"""Makes a pseudo-language catalogue from one lupdate wrote: every text
translated as itself between the markers, so a text shown without them did
not go through the translation machinery."""
import sys
import xml.etree.ElementTree as ET

OPEN, CLOSE = "\u27e6", "\u27e7"


def main(source, target):
    tree = ET.parse(source)
    root = tree.getroot()
    root.set("language", "xx")
    count = 0
    for message in root.iter("message"):
        text = message.findtext("source") or ""
        translation = message.find("translation")
        if translation is None:
            translation = ET.SubElement(message, "translation")
        translation.attrib.pop("type", None)
        for child in list(translation):
            translation.remove(child)
        if message.get("numerus") == "yes":
            translation.text = None
            for _ in range(2):
                ET.SubElement(translation, "numerusform").text = OPEN + text + CLOSE
        else:
            translation.text = OPEN + text + CLOSE
        count += 1
    if count == 0:
        sys.exit("pseudo_catalogue: no texts in " + source)
    tree.write(target, encoding="utf-8", xml_declaration=True)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
