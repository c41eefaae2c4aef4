#!/usr/bin/env python3
"""Validates JSON documents against a JSON Schema (with its formats checked).

Usage: schema_check.py SCHEMA DOCUMENT...
Prints each error with the document and the place in it; exits 1 when there
is one, 0 when every document is valid.
"""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as stream:
        schema = json.load(stream)
    validator_class = jsonschema.validators.validator_for(schema)
    validator_class.check_schema(schema)
    validator = validator_class(schema, format_checker=validator_class.FORMAT_CHECKER)
    failed = False
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as stream:
            document = json.load(stream)
        for error in validator.iter_errors(document):
            failed = True
            place = "/".join(str(step) for step in error.absolute_path)
            print(f"{path}: /{place}: {error.message}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
