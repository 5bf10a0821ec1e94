-- Reports the server version and edition as a table row.
IF OBJECT_ID('dbo.ExecutedScripts') IS NULL CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(256) NOT NULL, ranAt DATETIME NOT NULL DEFAULT GETDATE());
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'check_server.sql');
PRINT '###DESCRIPTION### SQL Server version check'
PRINT '###HEADER###Version:,:Edition'
PRINT '###DATA###' + CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128)) + ':,:' + CAST(SERVERPROPERTY('Edition') AS nvarchar(128))
SELECT 0;
GO
