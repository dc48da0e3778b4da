-- The same as Extra_Sqlite.sql in the form of a PostgreSQL server.
CREATE TABLE extra (id SERIAL PRIMARY KEY, code TEXT DEFAULT 'a''b' CHECK (length(code) = 3), made TEXT DEFAULT now(), a INT, b INT, flag BOOLEAN DEFAULT TRUE, price DECIMAL(8, 3), raw JSON);
CREATE INDEX extra_a_b ON extra (a, b);
CREATE UNIQUE INDEX extra_code ON extra (code);
CREATE UNIQUE INDEX extra_lower ON extra (lower(code));
CREATE VIEW extra_view AS SELECT code FROM extra;
CREATE FUNCTION extra_fn() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RETURN NEW; END $$;
CREATE TRIGGER extra_trigger AFTER INSERT ON extra FOR EACH ROW EXECUTE FUNCTION extra_fn();
