-- The view database of the patient visit form: one row per field.
CREATE TABLE viewPatient (
  UniqueKey INTEGER PRIMARY KEY,
  Name TEXT,
  PageNumber INTEGER,
  Prompt TEXT,
  Type TEXT,
  Formatstring TEXT,
  Checkcode TEXT,
  Lists TEXT
);
INSERT INTO viewPatient (Name, PageNumber, Prompt, Type, Formatstring, Checkcode, Lists) VALUES
  ('Id', 1, 'Patient number', 'NUMBER', '#####', NULL, NULL),
  ('Name', 1, 'Name', 'TEXT', NULL, NULL, NULL),
  ('VisitDate', 1, 'Date of visit', 'DATE', 'MM-DD-YYYY', NULL, NULL),
  ('Age', 1, 'Age in years', 'NUMBER', '###', NULL, NULL),
  ('Sex', 1, 'Sex', 'NUMBER', '#', NULL, NULL),
  ('Pregnant', 1, 'Pregnant?', 'YES/NO', NULL, NULL, NULL),
  ('Weight', 1, 'Weight (kg)', 'NUMBER', '###', NULL, NULL),
  ('Smoker', 2, 'Do you smoke?', 'NUMBER', '#', NULL, NULL),
  ('Cigs', 2, 'Cigarettes a day', 'NUMBER', '##', NULL, NULL),
  ('Notes', 2, 'Notes', 'TEXT', NULL, NULL, NULL),
  ('Codes', -1, 'A hidden helper row, not part of the import', 'TEXT', NULL, NULL, NULL);
