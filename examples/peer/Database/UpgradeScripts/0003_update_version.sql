-- Stores the new schema version.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'0003_update_version.sql');
IF OBJECT_ID('dbo.QXDBVersions') IS NULL CREATE TABLE dbo.QXDBVersions (name NVARCHAR(128) PRIMARY KEY, version NVARCHAR(32) NOT NULL);
DELETE FROM dbo.QXDBVersions WHERE name = N'Schema';
INSERT INTO dbo.QXDBVersions (name, version) VALUES (N'Schema', N'11.0.0.16');
GO
