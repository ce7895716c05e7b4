#!/usr/bin/env python3
"""Writes the demo data set of a small clinical study: db/demo/demo.sql (data tables and
their rows, users, groups, saved queries, review metadata; loaded after db/schema.sql) and
one table schema per data table in db/demo/schemas/. The output is the same on every run.

    python3 db/demo/make_demo.py
"""

import datetime
import hashlib
import random
import unicodedata
from pathlib import Path
from xml.sax.saxutils import escape

HERE = Path(__file__).resolve().parent
SEED = 20240607
PATIENTS = 3000
ROWS_PER_INSERT = 250
TODAY = datetime.datetime(2025, 6, 30, 17, 45, 0)


def relation(table, display):
    return (table, "id", display)


GROUP = ("group_id", "INT NULL", "Group", relation("groups", "name"))

# Column, SQL type, label, relation (table, index column, display column) or None.
TABLES = {
    "centres": [
        ("id", "INT NOT NULL AUTO_INCREMENT", "Id", None),
        ("name", "VARCHAR(128) NULL", "Centre", None),
        ("city", "VARCHAR(64) NULL", "City", None),
        ("country", "VARCHAR(64) NULL", "Country", None),
        ("phone", "VARCHAR(32) NULL", "Telephone", None),
        GROUP,
    ],
    "sponsors": [
        ("id", "INT NOT NULL AUTO_INCREMENT", "Id", None),
        ("name", "VARCHAR(128) NULL", "Sponsor", None),
        ("country", "VARCHAR(64) NULL", "Country", None),
        ("contact_email", "VARCHAR(128) NULL", "Contact e-mail", None),
        GROUP,
    ],
    "protocols": [
        ("id", "INT NOT NULL AUTO_INCREMENT", "Id", None),
        ("code", "VARCHAR(32) NULL", "Code", None),
        ("title", "VARCHAR(255) NULL", "Title", None),
        ("phase", "VARCHAR(8) NULL", "Phase", None),
        ("sponsor_id", "INT NULL", "Sponsor", relation("sponsors", "name")),
        ("start_date", "DATE NULL", "Start date", None),
        ("target_inclusions", "INT NULL", "Target inclusions", None),
        GROUP,
    ],
    "investigators": [
        ("id", "INT NOT NULL AUTO_INCREMENT", "Id", None),
        ("title", "VARCHAR(16) NULL", "Title", None),
        ("name", "VARCHAR(128) NULL", "Name", None),
        ("speciality", "VARCHAR(64) NULL", "Speciality", None),
        ("centre_id", "INT NULL", "Centre", relation("centres", "name")),
        ("email", "VARCHAR(128) NULL", "E-mail", None),
        GROUP,
    ],
    "patients": [
        ("id", "INT NOT NULL AUTO_INCREMENT", "Id", None),
        ("code", "VARCHAR(16) NULL", "Patient number", None),
        ("initials", "VARCHAR(4) NULL", "Initials", None),
        ("sex", "CHAR(1) NULL", "Sex", None),
        ("birth_date", "DATE NULL", "Birth date", None),
        ("inclusion_date", "DATE NULL", "Inclusion date", None),
        ("weight", "DECIMAL(5,1) NULL", "Weight (kg)", None),
        ("centre_id", "INT NULL", "Centre", relation("centres", "name")),
        ("protocol_id", "INT NULL", "Protocol", relation("protocols", "code")),
        ("investigator_id", "INT NULL", "Investigator", relation("investigators", "name")),
        ("comment", "TEXT NULL", "Comment", None),
        GROUP,
    ],
}

# Only the members of "administrators" may open the administration and change the database
# through the query editor.
NORD, SUD, ADMINISTRATORS = 1, 2, 3

USERS = [
    # username, password, first name, second name, e-mail, groups
    ("tavel", "kp4wzn8q", "Alice", "Tavel", "alice.tavel@brunvale.example", [NORD, SUD, ADMINISTRATORS]),
    ("brunet", "vd2rx7ta", "Louis", "Brunet", "louis.brunet@brunvale.example", [NORD]),
    ("novak", "hq6mt3ub", "Eva", "Nováková", "eva.novakova@brunvale.example", [SUD]),
]
TAVEL, BRUNET, NOVAK = 1, 2, 3

GROUPS = [(NORD, "Centre Nord"), (SUD, "Centre Sud"), 
          (ADMINISTRATORS, "administrators")]

CONTACTS = [(TAVEL, BRUNET), (TAVEL, NOVAK), (BRUNET, TAVEL), (NOVAK, TAVEL), (NOVAK, BRUNET)]

CENTRES = [
    # name, city, country, phone, group
    ("Hôpital Saint-Roch", "Amiens", "France", "+33 3 22 41 50 00", NORD),
    ("Clinique des Tilleuls", "Arras", "France", "+33 3 21 60 12 34", NORD),
    ("Centre hospitalier d'Abbeville", "Abbeville", "France", "+33 3 22 25 52 00", NORD),
    ("Klinikum Nordhafen", "Hamburg", "Germany", "+49 40 1811 0", NORD),
    ("Hôpital de la Côte d'Opale", "Boulogne-sur-Mer", "France", "+33 3 21 99 30 30", NORD),
    ("Hôpital Sainte-Marguerite", "Marseille", "France", "+33 4 91 74 40 00", SUD),
    ("Clinique du Parc", "Montpellier", "France", "+33 4 67 33 67 33", SUD),
    ("Centre hospitalier de Nîmes-Est", "Nîmes", "France", "+33 4 66 68 68 68", SUD),
    ("Ospedale San Lorenzo", "Genova", "Italy", "+39 010 555 1000", SUD),
    ("Institut de recherche clinique Brunvale", "Lyon", "France", "+33 4 72 11 00 00", 0),
    ("Centre d'investigation clinique", "Dijon", "France", "+33 3 80 29 30 31", 0),
    ("Laboratoire central d'analyses", "Clermont-Ferrand", "France", "+33 4 73 75 00 00", None),
]

SPONSORS = [
    ("Brunvale Pharma", "France", "studies@brunvale-pharma.example", 0),
    ("Novexa Therapeutics", "Belgium", "clinops@novexa.example", 0),
    ("Laboratoires Aubrac", "France", "essais@aubrac.example", 0),
    ("Helvion Biotech AG", "Switzerland", "trials@helvion.example", None),
    ("Kestrel Medical Ltd", "United Kingdom", "research@kestrel-medical.example", 0),
    ("Fondation Rivière pour la recherche", "France", "contact@fondation-riviere.example", None),
    ("Ostara Biologics", "Germany", "studien@ostara.example", 0),
    ("Meridia Health", "Italy", "ricerca@meridia.example", NORD),
]

PROTOCOLS = [
    # code, title, phase, sponsor, start date, target inclusions, group
    ("STV-CARD-01", "Low-dose colchicine after myocardial infarction", "III", 1,
     "2021-02-01", 600, 0),
    ("STV-DIAB-02", "Once-weekly basal insulin in type 2 diabetes", "III", 2,
     "2021-06-15", 500, 0),
    ("STV-ONCO-03", "Adjuvant immunotherapy in resected melanoma", "II", 4,
     "2021-09-01", 250, 0),
    ("STV-NEPH-04", "SGLT2 inhibition in chronic kidney disease", "III", 3,
     "2022-01-10", 450, 0),
    ("STV-RESP-05", "Inhaled triple therapy in severe COPD", "III", 5,
     "2022-03-01", 400, None),
    ("STV-NEUR-06", "Early rehabilitation after ischaemic stroke", "II", 6,
     "2022-05-16", 300, 0),
    ("STV-RHEU-07", "JAK inhibitor in early rheumatoid arthritis", "II", 7,
     "2022-10-03", 250, NORD),
    ("STV-INFX-08", "Short antibiotic course in community pneumonia", "IV", 8,
     "2023-01-09", 350, SUD),
    ("STV-HEPA-09", "Vitamin E in non-alcoholic steatohepatitis", "II", 1,
     "2023-04-03", 200, 0),
    ("STV-GERI-10", "Vitamin D and falls in the elderly", "III", 6,
     "2023-09-18", 400, None),
]

SPECIALITIES = {
    "STV-CARD-01": "Cardiology", "STV-DIAB-02": "Endocrinology", "STV-ONCO-03": "Oncology",
    "STV-NEPH-04": "Nephrology", "STV-RESP-05": "Pneumology", "STV-NEUR-06": "Neurology",
    "STV-RHEU-07": "Rheumatology", "STV-INFX-08": "Infectious diseases",
    "STV-HEPA-09": "Hepatology", "STV-GERI-10": "Geriatrics",
}

FIRST_NAMES = [
    "Claire", "Julien", "Sophie", "Mathieu", "Camille", "Antoine", "Élise", "Hugo", "Léa",
    "Nicolas", "Margot", "Thomas", "Inès", "Pierre", "Chloé", "Lukas", "Anna", "Jonas",
    "Giulia", "Marco", "Francesca", "Jan", "Petra", "Tomáš", "Zofia", "Łukasz", "Siobhan",
    "Hélène", "François", "Noémie",
]
LAST_NAMES = [
    "Lefebvre", "Moreau", "Dubois", "Laurent", "Girard", "Fontaine", "Rousseau", "Lambert",
    "Bonnet", "Mercier", "Garnier", "Chevalier", "Faure", "Müller", "Schröder", "Becker",
    "Rossi", "Bianchi", "Colombo", "Dvořák", "Horáková", "Kowalski", "Wiśniewska", "O'Neill",
    "Nguyen", "Benali", "Haddad", "Leclercq", "Dupré", "Vasseur",
]

COMMENTS = [
    "Withdrew consent at visit 3.",
    "Lost to follow-up after month 6.",
    "Adverse event reported (grade 2), resolved.",
    "Serious adverse event: hospitalisation for pneumonia.",
    "Protocol deviation: visit 4 out of window.",
    "Concomitant medication changed at visit 2.",
    "Screening labs repeated; eligibility confirmed.",
    "Contrôle à J+30 reporté à la demande du patient.",
    "Patient moved to another region; transfer requested.",
    "Weight measured without shoes, as per protocol amendment 2.",
    "Informed consent re-signed after amendment 3.",
    "Source documents incomplete, query sent to the centre.",
    "Patient's GP informed of inclusion.",
    "Randomisation envelope opened by mistake; reported to the sponsor.",
]

QUERIES = [
    # name, group, statement
    ("Patients per centre", NORD,
     "SELECT c.name AS centre, c.city, COUNT(p.id) AS patients\n"
     "FROM centres c LEFT JOIN patients p ON p.centre_id = c.id\n"
     "GROUP BY c.id, c.name, c.city\nORDER BY patients DESC"),
    ("Inclusions per month", NORD,
     "SELECT DATE_FORMAT(inclusion_date, '%Y-%m') AS month, COUNT(*) AS inclusions\n"
     "FROM patients\nGROUP BY month\nORDER BY month"),
    ("Fields marked as error", NORD,
     "SELECT e.table_name, e.table_id, f.field_name, e.modified\n"
     "FROM ext_records e JOIN ext_records_fields f ON f.ext_record_id = e.id\n"
     "WHERE f.state = -1\nORDER BY e.table_name, e.table_id, f.field_name"),
    ("Patients aged 75 or more at inclusion", NORD,
     "SELECT p.code, p.initials, p.sex, p.birth_date, p.inclusion_date,\n"
     "       TIMESTAMPDIFF(YEAR, p.birth_date, p.inclusion_date) AS age, c.name AS centre\n"
     "FROM patients p JOIN centres c ON c.id = p.centre_id\n"
     "WHERE TIMESTAMPDIFF(YEAR, p.birth_date, p.inclusion_date) >= 75\n"
     "ORDER BY age DESC"),
    ("Inclusions per protocol against target", SUD,
     "SELECT pr.code, pr.title, pr.target_inclusions, COUNT(p.id) AS included,\n"
     "       ROUND(100 * COUNT(p.id) / pr.target_inclusions) AS percent_of_target\n"
     "FROM protocols pr LEFT JOIN patients p ON p.protocol_id = pr.id\n"
     "GROUP BY pr.id, pr.code, pr.title, pr.target_inclusions\nORDER BY pr.code"),
    ("Mean weight per protocol and sex", SUD,
     "SELECT pr.code, p.sex, COUNT(*) AS patients, ROUND(AVG(p.weight), 1) AS mean_weight\n"
     "FROM patients p JOIN protocols pr ON pr.id = p.protocol_id\n"
     "WHERE p.weight IS NOT NULL\nGROUP BY pr.code, p.sex\nORDER BY pr.code, p.sex"),
    ("Investigators and their patients", SUD,
     "SELECT i.name, i.speciality, c.name AS centre, COUNT(p.id) AS patients\n"
     "FROM investigators i JOIN centres c ON c.id = i.centre_id\n"
     "LEFT JOIN patients p ON p.investigator_id = i.id\n"
     "GROUP BY i.id, i.name, i.speciality, c.name\nORDER BY patients DESC"),
    ("Patients with a comment", SUD,
     "SELECT p.code, p.inclusion_date, c.name AS centre, p.comment\n"
     "FROM patients p JOIN centres c ON c.id = p.centre_id\n"
     "WHERE p.comment IS NOT NULL\nORDER BY p.inclusion_date"),
]


def md5(text):
    return hashlib.md5(text.encode("utf-8")).hexdigest()


def sql_value(value):
    if value is None:
        return "NULL"
    if isinstance(value, (int, float)):
        return str(value)
    text = str(value).replace("\\", "\\\\").replace("'", "''").replace("\n", "\\n")
    return "'" + text + "'"


def inserts(table, columns, rows):
    lines = []
    for start in range(0, len(rows), ROWS_PER_INSERT):
        chunk = rows[start:start + ROWS_PER_INSERT]
        values = ",\n".join("(" + ", ".join(sql_value(v) for v in row) + ")" for row in chunk)
        lines.append(f"INSERT INTO {table} ({', '.join(columns)}) VALUES\n{values};\n")
    return "".join(lines)


def create_table(table, columns):
    body = [f"    {name} {sqltype}" for name, sqltype, _, _ in columns]
    body.append("    PRIMARY KEY (id)")
    body += [f"    KEY {table}_{name} ({name})" for name, _, _, rel in columns
             if rel and name != "group_id"]
    body.append(f"    KEY {table}_group (group_id)")
    return (f"CREATE TABLE {table} (\n" + ",\n".join(body) +
            "\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;\n")


def schema_xml(columns):
    out = ['<?xml version="1.0" encoding="UTF-8"?>', "<table>", "    <fields>"]
    for name, _, label, rel in columns:
        entry = f'        <field name="{name}"><label>{escape(label)}</label>'
        if rel:
            entry += (f"<relation><tablename>{rel[0]}</tablename>"
                      f"<indexColumn>{rel[1]}</indexColumn>"
                      f"<displayColumn>{rel[2]}</displayColumn></relation>")
        out.append(entry + "</field>")
    out += ["    </fields>", "</table>", ""]
    return "\n".join(out)


def date(text):
    return datetime.date.fromisoformat(text)


def random_day(rng, first, last):
    return first + datetime.timedelta(days=rng.randint(0, (last - first).days))


def stamp(rng, after):
    moment = datetime.datetime.combine(after, datetime.time(8, 0))
    moment += datetime.timedelta(days=rng.randint(0, 20), minutes=rng.randint(0, 600),
                                 seconds=rng.randint(0, 59))
    return min(moment, TODAY)


class Study:
    def __init__(self):
        self.rng = random.Random(SEED)
        self.rows = {table: [] for table in TABLES}

    def build(self):
        rng = self.rng
        for i, (name, city, country, phone, group) in enumerate(CENTRES, 1):
            self.rows["centres"].append((i, name, city, country, phone, group))
        for i, (name, country, email, group) in enumerate(SPONSORS, 1):
            self.rows["sponsors"].append((i, name, country, email, group))
        for i, (code, title, phase, sponsor, start, target, group) in enumerate(PROTOCOLS, 1):
            self.rows["protocols"].append((i, code, title, phase, sponsor, start, target, group))

        # Each clinical centre runs four to six of the protocols; the laboratory runs none.
        clinical = [i for i, c in enumerate(CENTRES, 1) if not c[0].startswith("Laboratoire")]
        self.centre_protocols = {
            c: sorted(rng.sample(range(1, len(PROTOCOLS) + 1), rng.randint(4, 6)))
            for c in clinical}

        self.centre_investigators = {}
        used_names = []
        for centre in range(1, len(CENTRES) + 1):
            group = CENTRES[centre - 1][4]
            protocols = self.centre_protocols.get(centre, [])
            count = 4 + rng.randint(0, 2) if protocols else 2
            for _ in range(count):
                while True:
                    first, last = rng.choice(FIRST_NAMES), rng.choice(LAST_NAMES)
                    if (first, last) not in used_names:
                        used_names.append((first, last))
                        break
                speciality = (SPECIALITIES[PROTOCOLS[rng.choice(protocols) - 1][0]]
                              if protocols else "Clinical biology")
                ident = len(self.rows["investigators"]) + 1
                email = f"{ascii_name(first)}.{ascii_name(last)}@centre{centre}.example"
                self.rows["investigators"].append(
                    (ident, rng.choice(["Dr", "Dr", "Dr", "Prof"]), f"{first} {last}",
                     speciality, centre, email, group))
                self.centre_investigators.setdefault(centre, []).append(ident)

        # Large centres include more patients.
        weights = [(c, 1 if CENTRES[c - 1][4] == 0 else rng.randint(3, 8)) for c in clinical]
        centres = [c for c, w in weights for _ in range(w)]
        for ident in range(1, PATIENTS + 1):
            centre = rng.choice(centres)
            protocol = rng.choice(self.centre_protocols[centre])
            start = date(PROTOCOLS[protocol - 1][4])
            inclusion = random_day(rng, start, date("2025-06-20"))
            age = rng.randint(18, 60) if protocol == 3 else int(rng.triangular(30, 92, 66))
            if protocol == 10:
                age = rng.randint(70, 95)
            birth = inclusion - datetime.timedelta(days=age * 365 + rng.randint(0, 364))
            sex = rng.choice("FM")
            weight = None
            if rng.random() > 0.02:
                weight = round(min(max(rng.gauss(68 if sex == "F" else 82, 12), 38), 165), 1)
            initials = "".join(rng.choice("ABCDEFGHJKLMNPRSTVW")
                               for _ in range(rng.choice([2, 2, 3])))
            group = CENTRES[centre - 1][4]
            if rng.random() < 0.03:
                group = None
            comment = rng.choice(COMMENTS) if rng.random() < 0.12 else None
            self.rows["patients"].append(
                (ident, f"P-{ident:05d}", initials, sex, birth.isoformat(),
                 inclusion.isoformat(), weight, centre, protocol,
                 rng.choice(self.centre_investigators[centre]), comment, group))

        self.build_reviews()

    def build_reviews(self):
        """Review metadata on part of the rows: who created and changed them, field states
        and marks."""
        rng = self.rng
        self.ext_records, self.ext_fields, self.ext_marks = [], [], []
        share = {"centres": 0.75, "sponsors": 0.5, "protocols": 0.8, "investigators": 0.5,
                 "patients": 0.4}
        for table, columns in TABLES.items():
            fields = [c[0] for c in columns if c[0] not in ("id", "group_id")]
            for row in self.rows[table]:
                if rng.random() >= share[table]:
                    continue
                group = row[-1]
                reviewers = {NORD: [TAVEL, BRUNET], SUD: [TAVEL, NOVAK]}.get(
                    group, [TAVEL, BRUNET, NOVAK])
                start = date(row[5]) if table == "patients" else date("2023-01-02")
                created = stamp(rng, start)
                modified = created
                if rng.random() < 0.6:
                    modified = min(created + datetime.timedelta(
                        days=rng.randint(1, 200), minutes=rng.randint(0, 480)), TODAY)
                ext_id = len(self.ext_records) + 1
                self.ext_records.append(
                    (ext_id, table, row[0], rng.choice(reviewers), created.isoformat(" "),
                     rng.choice(reviewers), modified.isoformat(" ")))
                for field in rng.sample(fields, rng.randint(1, min(5, len(fields)))):
                    state = -1 if rng.random() < 0.22 else 1
                    self.ext_fields.append((len(self.ext_fields) + 1, ext_id, field, state))
                marks = [(TAVEL, 0.08 if table == "patients" else 0.3)]
                marks += [(user, 0.04) for user in reviewers if user != TAVEL]
                for user, chance in marks:
                    if rng.random() < chance:
                        self.ext_marks.append((len(self.ext_marks) + 1, ext_id, user))

    def sql(self):
        out = [
            "-- The demo data set of Stavimor: a small clinical study. Load it after\n"
            "-- db/schema.sql into an empty database. Written by db/demo/make_demo.py; edit\n"
            "-- that script rather than this file.\n\n",
            "SET NAMES utf8mb4;\n\n",
        ]
        for table, columns in TABLES.items():
            out.append(create_table(table, columns) + "\n")
        out.append(inserts("users", ["id", "username", "password", "first_name", "second_name",
                                     "email", "comment"],
                           [(i, u[0], md5(u[1]), u[2], u[3], u[4], None)
                            for i, u in enumerate(USERS, 1)]))
        out.append(inserts("groups", ["id", "name"], GROUPS))
        memberships = [(user, group) for user, u in enumerate(USERS, 1) for group in u[5]]
        out.append(inserts("groups_users", ["id", "group_id", "user_id"],
                           [(i, g, u) for i, (u, g) in enumerate(memberships, 1)]))
        out.append(inserts("contacts", ["id", "user_id", "contact_user_id"],
                           [(i, u, c) for i, (u, c) in enumerate(CONTACTS, 1)]))
        # scripts/demo.sh serves the update descriptor and the module catalogue there.
        out.append(inserts("infos", ["module_update_url", "app_update_url", "version"],
                           [("http://127.0.0.1:8765/modules.xml",
                             "http://127.0.0.1:8765/update.xml", "beta 0.5.2")]))
        out.append(inserts("querys", ["id", "name", "query", "group_id"],
                           [(i, n, q, g) for i, (n, g, q) in enumerate(QUERIES, 1)]))
        out.append("\n")
        for table, columns in TABLES.items():
            out.append(inserts(table, [c[0] for c in columns], self.rows[table]))
        out.append("\n")
        out.append(inserts("ext_records", ["id", "table_name", "table_id", "created_user_id",
                                           "created", "modified_user_id", "modified"],
                           self.ext_records))
        out.append(inserts("ext_records_fields", ["id", "ext_record_id", "field_name", "state"],
                           self.ext_fields))
        out.append(inserts("ext_records_monitorings", ["id", "ext_record_id", "user_id"],
                           self.ext_marks))
        return "".join(out)


def ascii_name(text):
    text = text.replace("ü", "ue").replace("ö", "oe").replace("Ł", "L").replace("ł", "l")
    plain = unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode()
    return plain.replace("'", "").lower()


def main():
    study = Study()
    study.build()
    (HERE / "demo.sql").write_text(study.sql(), encoding="utf-8")
    schemas = HERE / "schemas"
    schemas.mkdir(exist_ok=True)
    for table, columns in TABLES.items():
        (schemas / f"{table}.xml").write_text(schema_xml(columns), encoding="utf-8")
    print(f"demo.sql: {len(study.rows['patients'])} patients, {len(study.ext_records)} "
          f"reviewed rows, {len(study.ext_fields)} field states, {len(study.ext_marks)} marks")


if __name__ == "__main__":
    main()
