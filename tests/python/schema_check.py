"""A validator for the subset of JSON Schema (2020-12) that docs/events.schema.json uses: type, const,
enum, properties, required, additionalProperties, items, minimum, oneOf and local $ref. Python's standard
library has none."""

from __future__ import annotations

from typing import Any

_TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool),
    "boolean": lambda v: isinstance(v, bool),
    "null": lambda v: v is None,
}
_KNOWN = {"$schema", "$id", "$defs", "$ref", "title", "description", "type", "const", "enum", "properties",
          "required", "additionalProperties", "items", "minimum", "oneOf"}


class Validator:
    def __init__(self, schema: dict):
        self.root = schema

    def errors(self, value: Any, schema: dict | None = None, where: str = "") -> list[str]:
        """What is wrong with `value`; empty when it follows the schema."""
        schema = self.root if schema is None else schema
        unknown = set(schema) - _KNOWN
        if unknown:
            raise ValueError(f"the validator does not know {sorted(unknown)}")
        if "$ref" in schema:
            target = self.root
            for part in schema["$ref"].removeprefix("#/").split("/"):
                target = target[part]
            return self.errors(value, target, where)
        place = where or "the object"
        if "type" in schema:
            types = schema["type"] if isinstance(schema["type"], list) else [schema["type"]]
            if not any(_TYPES[name](value) for name in types):
                return [f"{place}: {value!r} is not of type {'/'.join(types)}"]
        if "const" in schema and value != schema["const"]:
            return [f"{place}: {value!r} is not {schema['const']!r}"]
        if "enum" in schema and value not in schema["enum"]:
            return [f"{place}: {value!r} is none of {schema['enum']}"]
        if "minimum" in schema and _TYPES["number"](value) and value < schema["minimum"]:
            return [f"{place}: {value!r} is below {schema['minimum']}"]
        found: list[str] = []
        if "oneOf" in schema:
            matching = [i for i, option in enumerate(schema["oneOf"]) if not self.errors(value, option, where)]
            if len(matching) != 1:
                found.append(f"{place}: matches {len(matching)} of the shapes, not one")
        if isinstance(value, dict):
            properties = schema.get("properties", {})
            for name in schema.get("required", []):
                if name not in value:
                    found.append(f"{place}: lacks {name!r}")
            for name, member in value.items():
                if name in properties:
                    found += self.errors(member, properties[name], f"{where}/{name}")
                elif schema.get("additionalProperties") is False:
                    found.append(f"{place}: has an unknown member {name!r}")
                elif isinstance(schema.get("additionalProperties"), dict):
                    found += self.errors(member, schema["additionalProperties"], f"{where}/{name}")
        if isinstance(value, list) and "items" in schema:
            for index, item in enumerate(value):
                found += self.errors(item, schema["items"], f"{where}/{index}")
        return found
