-- Warns when the client table is missing: the upgrade creates it empty.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'check_clients.sql');
PRINT '###DESCRIPTION### Client table check'
IF OBJECT_ID('dbo.APP_Client') IS NULL PRINT '###WARNING### The client table dbo.APP_Client does not exist yet.'
IF OBJECT_ID('dbo.APP_Client') IS NULL PRINT '###ADVICE### Register the clients again after the upgrade.'
SELECT CASE WHEN OBJECT_ID('dbo.APP_Client') IS NULL THEN 101 ELSE 0 END;
GO
