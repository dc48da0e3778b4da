-- What a model cannot hold, in the form of database files: views,
-- triggers, checks, an expression default, composite and expression
-- indexes, a column named id, types the model has no own kind for.
CREATE TABLE Extra (Id INTEGER PRIMARY KEY AUTOINCREMENT, Code TEXT DEFAULT 'a''b' CHECK (length(Code) = 3), Made TEXT DEFAULT CURRENT_TIMESTAMP, A INTEGER, B INTEGER, Flag BOOLEAN DEFAULT TRUE, Price DECIMAL(8, 3), Raw);
CREATE INDEX ExtraAB ON Extra (A, B);
CREATE UNIQUE INDEX ExtraCode ON Extra (Code);
CREATE UNIQUE INDEX ExtraLower ON Extra (lower(Code));
CREATE VIEW ExtraView AS SELECT Code FROM Extra;
CREATE TRIGGER ExtraTrigger AFTER INSERT ON Extra BEGIN SELECT 1; END;
