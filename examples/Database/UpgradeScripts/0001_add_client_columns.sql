-- Adds the status columns to the client table.
IF COL_LENGTH('dbo.APP_Client', 'status') IS NULL
    ALTER TABLE dbo.APP_Client ADD status int NOT NULL CONSTRAINT DF_APP_Client_status DEFAULT 0;
GO
IF COL_LENGTH('dbo.APP_Client', 'lastSeen') IS NULL
    ALTER TABLE dbo.APP_Client ADD lastSeen datetime NULL;
GO
