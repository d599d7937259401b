#!/usr/bin/env python3
"""Manual pages and bash completion made from the programs' own --help.

    help_pages.py man PROGRAM TEMPLATE OUTPUT [NAME=VALUE...]
    help_pages.py completion PROGRAM TEMPLATE OUTPUT

The help is read command by command (every subcommand's --help too), so a
new subcommand or option shows up in the page and the completion at the next
build. The template holds what the help can't say; see packaging/man/*.in and
packaging/completion/*.in for the placeholders. NAME=VALUE replaces @NAME@ in
a manual page (VERSION, DATE, DATADIR).
"""
import os
import re
import subprocess
import sys
from dataclasses import dataclass, field


@dataclass
class Option:
    names: list            # "-h", "--help"; a positional's name alone
    description: str = ""
    value: str = ""        # the value's name (DIR, N, ...); empty for a flag
    default: str = ""
    choices: list = field(default_factory=list)
    check: str = ""        # what CLI11 checks besides choices, e.g. "INT in [0 - 31]"
    required: bool = False
    repeated: bool = False
    excludes: list = field(default_factory=list)
    needs: list = field(default_factory=list)

    @property
    def name(self):
        return self.names[-1]


@dataclass
class Command:
    path: list             # [] for the program, ["recording", "info"] for a subcommand
    description: str = ""
    options: list = field(default_factory=list)
    positionals: list = field(default_factory=list)
    subcommands: list = field(default_factory=list)  # Command
    examples: list = field(default_factory=list)     # lines of the help's "Examples:"

    @property
    def title(self):
        return " ".join(self.path)

    def walk(self):
        yield self
        for sub in self.subcommands:
            yield from sub.walk()


class HelpError(Exception):
    pass


def run_help(program, path):
    env = dict(os.environ, LC_ALL="C.UTF-8", DISPLAY="", WAYLAND_DISPLAY="", COLUMNS="80")
    done = subprocess.run([program, *path, "--help"], capture_output=True, text=True, env=env)
    if done.returncode != 0 or not done.stdout.strip():
        raise HelpError(f"{' '.join([program, *path])} --help failed: {done.stderr.strip()}")
    return done.stdout


def parse_entry(head, description, positional):
    """One line of an option table: "--device N:INT in [0 - 31] Excludes: --all"."""
    names, _, rest = head.partition(" ")
    opt = Option(names=names.split(",") if not positional else [names], description=description)
    for keyword, target in (("Needs", opt.needs), ("Excludes", opt.excludes)):
        found = re.search(rf"\s*\b{keyword}: (.*)$", rest)
        if found:
            target.extend(found.group(1).split())
            rest = rest[:found.start()]
    if re.search(r"\bREQUIRED\b", rest):
        opt.required = True
        rest = re.sub(r"\s*\bREQUIRED\b", "", rest)
    if "..." in rest:
        opt.repeated = True
        rest = rest.replace("...", "")
    rest = rest.strip()
    if rest:
        typed = re.match(r"(?P<value>[^:=\s]+)(?::(?P<check>[^=]*))?(?:=(?P<default>.*))?$", rest)
        if not typed:
            raise HelpError(f"can't read the option line '{head}'")
        opt.value = "" if positional else typed["value"]
        opt.default = typed["default"] or ""
        check = (typed["check"] or "").strip()
        choices = re.fullmatch(r"\{(.*)\}", check)
        if choices:
            opt.choices = choices.group(1).split(",")
        else:
            opt.check = check
    return opt


def parse_help(text, path):
    """CLI11's help: description, usage, then tables under "Name:" headings."""
    command = Command(path=path)
    description, section, entries = [], None, []
    seen_usage = False
    for line in text.splitlines():
        if not line.strip():
            continue
        if re.match(r"usage:", line, re.I):
            seen_usage = True
            continue
        if not seen_usage:
            description.append(line.strip())
            continue
        if not line.startswith(" "):
            section = line.rstrip(":").strip().lower() if line.rstrip().endswith(":") else None
            continue
        if section is None:
            continue
        if section == "examples":
            command.examples.append(line.strip())
            continue
        if line.startswith(" " * 3) and entries:  # a description carried onto its own line
            entries[-1][2] = (entries[-1][2] + " " + line.strip()).strip()
            continue
        head, *desc = re.split(r"\s{2,}", line.strip(), maxsplit=1)
        entries.append([section, head, desc[0] if desc else ""])
    command.description = " ".join(description)
    for section, head, desc in entries:
        if section == "subcommands":
            command.subcommands.append(Command(path=path + [head], description=desc))
        else:
            positional = section == "positionals"
            (command.positionals if positional else command.options).append(parse_entry(head, desc, positional))
    if not command.options:
        raise HelpError(f"no options found in the help of '{' '.join(path) or 'the program'}'")
    return command


def read_commands(program, path=None):
    path = path or []
    command = parse_help(run_help(program, path), path)
    subs = []
    for listed in command.subcommands:
        sub = read_commands(program, listed.path)
        sub.description = sub.description or listed.description
        subs.append(sub)
    command.subcommands = subs
    return command


# ---- manual pages -----------------------------------------------------------

def roff(text):
    """Plain text as troff: backslashes kept, options with minus signs, no request at a line's start."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w.-])-(?=[\w-])", r"\\-", text)
    text = re.sub(r"(?<=\\-)-", r"\\-", text)
    return "\\&" + text if text.startswith((".", "'")) else text


def value_text(opt):
    if opt.choices:
        return "|".join(f"\\fI{roff(c)}\\fR" for c in opt.choices)
    return f"\\fI{roff(opt.value)}\\fR" if opt.value else ""


def option_term(opt):
    names = ", ".join(f"\\fB{roff(n)}\\fR" for n in opt.names)
    value = value_text(opt)
    return f"{names} {value}" if value else names


def positional_text(opt):
    return f"\\fI{roff(opt.name)}\\fR" + ("\\ .\\|.\\|." if opt.repeated else "")


def synopsis(program, command):
    words = [f"\\fB{roff(' '.join([program] + command.path))}\\fR"]
    for opt in command.options:
        if opt.name in ("--help", "--version"):
            continue
        # \% keeps an option whole at a line's end, "\ " keeps its value beside it.
        term = f"\\fB{roff(opt.name)}\\fR" + (f"\\ {value_text(opt)}" if value_text(opt) else "")
        words.append("\\%" + (term if opt.required else f"[{term}]"))
    words += [positional_text(p) for p in command.positionals]
    if command.subcommands:
        words.append("\\fICOMMAND\\fR \\&.\\|.\\|.")
    return ".PP\n" + " ".join(words)


def option_items(options):
    items = []
    for opt in options:
        notes = []
        if opt.default:
            notes.append(f"Default: {opt.default}.")
        span = re.fullmatch(r"\w+ in \[(\S+) - (\S+)\]", opt.check)
        if span:
            notes.append(f"From {span.group(1)} to {span.group(2)}.")
        elif opt.check:
            notes.append(f"Checked: {opt.check}.")
        if opt.required:
            notes.append("Required.")
        if opt.excludes:
            notes.append("Not together with " + ", ".join(opt.excludes) + ".")
        if opt.needs:
            notes.append("Needs " + ", ".join(opt.needs) + ".")
        term = positional_text(opt) if not opt.names[0].startswith("-") else option_term(opt)
        text = " ".join([opt.description.rstrip(".") + "." if opt.description else ""] + notes).strip()
        items.append(f".TP\n{term}\n{roff(text)}")
    return "\n".join(items)


NOTE_BLOCK = re.compile(r"^\.\\\" @notes (?P<title>.+?)\n(?P<body>.*?)^\.\\\" @end\n", re.M | re.S)


def command_sections(program, top, notes):
    parts = []
    for command in list(top.walk())[1:]:
        parts.append(f'.SS "{command.title}"')
        parts.append(synopsis(program, command))
        if command.description:
            parts.append(".PP\n" + roff(command.description.rstrip(".") + "."))
        if command.subcommands:
            parts.append(".PP\nCommands: " + ", ".join(f"\\fB{roff(s.title)}\\fR" for s in command.subcommands) + ".")
        items = option_items(command.positionals + [o for o in command.options if o.name != "--help"])
        if items:
            parts.append(items)
        if command.examples:
            parts.append(".PP\nExamples:\n.nf\n" + "\n".join(roff(e) for e in command.examples) + "\n.fi")
        if command.title in notes:
            parts.append(".PP\n" + notes.pop(command.title).rstrip("\n"))
    return "\n".join(parts)


def make_man(program_path, template, values):
    program = os.path.basename(program_path)
    top = read_commands(program_path)
    notes = {m["title"].strip(): m["body"] for m in NOTE_BLOCK.finditer(template)}
    page = NOTE_BLOCK.sub("", template)
    summary = re.sub(rf"^{re.escape(program)}:\s*", "", top.description)
    generated = {
        "@NAME@": f"{program} \\- {roff(summary)}",
        "@SYNOPSIS@": synopsis(program, top),
        "@OPTIONS@": option_items(top.options),
        "@COMMANDS@": command_sections(program, top, notes),
    }
    if top.subcommands and "@COMMANDS@" not in page:
        raise HelpError("the template has no @COMMANDS@ for the program's subcommands")
    if notes:
        raise HelpError("notes for commands the program does not have: " + ", ".join(sorted(notes)))
    for key, value in generated.items():
        page = page.replace(key, value)
    for key, value in values.items():
        page = page.replace(f"@{key}@", value)
    left = re.search(r"@[A-Z_]+@", page)
    if left:
        raise HelpError(f"{left.group(0)} has no value")
    return page


# ---- bash completion --------------------------------------------------------

def bash_word(text):
    return "'" + text.replace("'", "'\\''") + "'"


def bash_table(name, rows):
    body = "\n".join(f"    [{bash_word(k)}]={bash_word(v)}" for k, v in rows)
    return f"declare -gA {name}=(\n{body}\n)"


def completion_tables(program_path):
    program = os.path.basename(program_path)
    top = read_commands(program_path)
    commands, options, values, positionals = [], [], [], []
    for command in top.walk():
        key = " ".join([program] + command.path)
        if command.subcommands:
            commands.append((key, " ".join(s.path[-1] for s in command.subcommands)))
        options.append((key, " ".join(n for o in command.options for n in o.names)))
        for opt in command.options:
            if opt.value or opt.choices:
                kind = "{" + ",".join(opt.choices) + "}" if opt.choices else opt.value
                values.extend(((f"{key}|{n}", kind) for n in opt.names))
        if command.positionals:
            positionals.append((key, " ".join(p.name + ("..." if p.repeated else "") for p in command.positionals)))
    prefix = "_" + re.sub(r"\W", "_", program)
    return "\n".join([
        "# What the program's help says, read at build time by packaging/help_pages.py.",
        "# Keys: the command path, then |option.",
        bash_table(prefix + "_commands", commands),
        bash_table(prefix + "_options", options),
        bash_table(prefix + "_values", values),
        bash_table(prefix + "_positionals", positionals),
    ])


def make_completion(program_path, template):
    if "@HELP_TABLES@" not in template:
        raise HelpError("the template has no @HELP_TABLES@")
    return template.replace("@HELP_TABLES@", completion_tables(program_path))


def main(argv):
    try:
        if len(argv) >= 4 and argv[0] == "man" and all("=" in a for a in argv[4:]):
            _, program, template, output = argv[:4]
            values = dict(a.split("=", 1) for a in argv[4:])
            text = make_man(program, open(template, encoding="utf-8").read(), values)
        elif len(argv) == 4 and argv[0] == "completion":
            _, program, template, output = argv
            text = make_completion(program, open(template, encoding="utf-8").read())
        else:
            print(__doc__, file=sys.stderr)
            return 2
    except (HelpError, OSError) as e:
        print(f"help_pages.py: {e}", file=sys.stderr)
        return 1
    with open(output + ".tmp", "w", encoding="utf-8") as out:
        out.write(text)
    os.replace(output + ".tmp", output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
