-- Stores the new schema version.
IF OBJECT_ID('dbo.QXDBVersions') IS NULL
    CREATE TABLE dbo.QXDBVersions (name sysname PRIMARY KEY, version nvarchar(32) NOT NULL);
GO
MERGE dbo.QXDBVersions AS target
USING (SELECT N'Schema' AS name, N'11.0.0.16' AS version) AS source ON target.name = source.name
WHEN MATCHED THEN UPDATE SET version = source.version
WHEN NOT MATCHED THEN INSERT (name, version) VALUES (source.name, source.version);
GO
